#include "ctl/Options.h"

#include "ctl/Steps.h"
#include "link/BusScan.h"

#include <QMap>

namespace trivex::ctl {

std::optional<Options> parseOptions(const QStringList& arguments, QString* why) {
    Options options;
    const QMap<QString, QString*> values{{QStringLiteral("--port"), &options.port},
                                         {QStringLiteral("--speed"), &options.speed},
                                         {QStringLiteral("--ini"), &options.ini}};
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
        } else if (name == QLatin1String("--json")) {
            options.json = true;
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

QString usage() {
    return QStringLiteral(
               "Usage: trivexctl [OPTIONS] WORD [ARGS] [WORD [ARGS]]...\n"
               "Drives and tests TRIVEX character LCD modules on an RS485 bus, without a display.\n"
               "\n"
               "Options (before the first word):\n"
               "  --port COMn|PATH|URL the port: a COM number as trivex maps it, a device path, or\n"
               "                       rfc2217://host:port or tcp://host:port (default: the\n"
               "                       port trivex's settings name)\n"
               "  --speed 4800|9600    the line speed (default: the settings' speed)\n"
               "  --ini FILE           the settings file (default: TRIVEX_INI, else trivex's file)\n"
               "  --report junit FILE  a JUnit XML report of the steps\n"
               "  --json               a JSON object per step instead of a line of text\n"
               "  -h, --help           this text;  -v, --version  the version\n"
               "\n"
               "Words, run in order (the steps of a call are checked before the first byte is sent):\n"
               "%1"
               "  run FILE\n"
               "      the steps of a test script, one a line; # begins a comment\n"
               "\n"
               "Words that stand alone, with options of their own after them:\n"
               "  scan [--from N] [--to N] [--speeds 9600,4800] [--allowance MS]\n"
               "      find the modules: each probe waits its wire time plus MS (default %2 ms)\n"
               "  monitor [--for SECONDS]\n"
               "      print the bus traffic, decoded, until interrupted\n"
               "  commission --first ADDR --count N [--speed 4800|9600] [--screen LINE1 LINE2]\n"
               "             [--chars FILE] [--log FILE.csv] [--no-prompt]\n"
               "      give new modules, one at a time alone on the bus, their address, speed,\n"
               "      start-up screen and characters, and check each. Configuration commands\n"
               "      reach every module on the bus.\n"
               "\n"
               "Exit status: 0 all passed, 1 a check failed, 2 refused before sending, 3 port problem.\n")
        .arg(wordsHelp())
        .arg(link::kDefaultAnswerAllowanceMs);
}

} // namespace trivex::ctl
