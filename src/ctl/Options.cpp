#include "ctl/Options.h"

namespace trivex::ctl {

std::optional<Options> parseOptions(const QStringList& arguments, QString* why) {
    Options options;
    const QMap<QString, QString*> values{{QStringLiteral("--speed"), &options.speed},
                                         {QStringLiteral("--station"), &options.station},
                                         {QStringLiteral("--operator"), &options.operatorName},
                                         {QStringLiteral("--batch"), &options.batch}};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1Char('-'))) {
            options.words = arguments.mid(i);
            break;
        }
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const bool inline_ = argument.contains(QLatin1Char('='));
        auto value = [&](QString* into) {
            if (inline_) {
                *into = argument.section(QLatin1Char('='), 1);
                return true;
            }
            if (i + 1 >= arguments.size()) {
                *why = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            *into = arguments[++i];
            return true;
        };
        if (values.contains(name)) {
            if (!value(values[name])) {
                return std::nullopt;
            }
        } else if (name == QLatin1String("--port") || name == QLatin1String("--ini")) {
            // Given empty (an unset shell variable) is not the same as not given: it is refused.
            QString text;
            if (!value(&text)) {
                return std::nullopt;
            }
            (name == QLatin1String("--port") ? options.port : options.ini) = text;
        } else if (name == QLatin1String("--report")) {
            QString format;
            if (!value(&format)) {
                return std::nullopt;
            }
            if (format != QLatin1String("junit") || i + 1 >= arguments.size()) {
                *why = QStringLiteral("--report needs junit and a FILE");
                return std::nullopt;
            }
            options.report = arguments[++i];
            if (options.report.isEmpty()) {
                *why = QStringLiteral("--report junit needs a FILE, and it is empty");
                return std::nullopt;
            }
        } else if (name == QLatin1String("--json")) {
            options.json = true;
        } else if (name == QLatin1String("--ignore-echo")) {
            options.ignoreEcho = true;
        } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
            options.version = true;
        } else {
            *why = QStringLiteral("unknown option %1").arg(argument);
            return std::nullopt;
        }
    }
    if (!options.speed.isEmpty() && options.speed != QLatin1String("4800") &&
        options.speed != QLatin1String("9600")) {
        *why = QStringLiteral("--speed %1: the modules run at 4800 or 9600").arg(options.speed);
        return std::nullopt;
    }
    return options;
}

std::optional<QMap<QString, QStringList>> parseWordOptions(const QStringList& arguments,
                                                           const QMap<QString, int>& counts, QString* why) {
    QMap<QString, QStringList> values;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (!counts.contains(name)) {
            *why = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
        const int count = counts[name];
        if (i + count >= arguments.size()) {
            *why = QStringLiteral("%1 needs %2 value%3").arg(name).arg(count).arg(count == 1 ? "" : "s");
            return std::nullopt;
        }
        values[name] = arguments.mid(i + 1, count);
        i += count;
    }
    return values;
}

QString wholeNumber(const QString& name, const QString& text, int first, int last, int* value) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < first || number > last) {
        return QStringLiteral("%1 %2: a whole number %3 to %4").arg(name, text).arg(first).arg(last);
    }
    *value = number;
    return {};
}

} // namespace trivex::ctl
