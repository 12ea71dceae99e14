#include "ctl/Script.h"

#include "settings/FileAccess.h"

namespace trivex::ctl {

namespace {

// Scripts are short: a file beyond this is no script.
constexpr qint64 kMaxScriptBytes = 1024 * 1024;

} // namespace

std::optional<QStringList> splitLine(const QString& line, QString* why) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < line.size() && (line[i + 1] == u'"' || line[i + 1] == u'\\')) {
                word += line[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c.isSpace()) {
            if (inWord) {
                words << word;
                word.clear();
                inWord = false;
            }
        } else if (c == u'#' && !inWord) {
            break;
        } else if (c == u'"') {
            quoted = true;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        *why = QStringLiteral("a quote is left open");
        return std::nullopt;
    }
    if (inWord) {
        words << word;
    }
    return words;
}

std::optional<std::vector<ScriptLine>> readScriptText(const QByteArray& text, const QString& name,
                                                      QString* why) {
    std::vector<ScriptLine> lines;
    const QList<QByteArray> raw = text.split('\n');
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QByteArray line = raw[i];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        QString problem;
        const std::optional<QStringList> words = splitLine(QString::fromUtf8(line), &problem);
        if (!words) {
            *why = QStringLiteral("%1:%2: %3").arg(name).arg(i + 1).arg(problem);
            return std::nullopt;
        }
        if (!words->isEmpty()) {
            lines.push_back({static_cast<int>(i + 1), *words});
        }
    }
    return lines;
}

std::optional<std::vector<ScriptLine>> readScript(const QString& path, QString* why) {
    const settings::FileContents contents = settings::readRegularFile(path, kMaxScriptBytes);
    if (!contents.exists || !contents.error.isEmpty() || contents.tooLarge) {
        *why = QStringLiteral("%1: %2").arg(path, !contents.exists ? QStringLiteral("there is no such file")
                                                  : contents.tooLarge
                                                      ? QStringLiteral("larger than a script can be (1 MiB)")
                                                      : contents.error);
        return std::nullopt;
    }
    return readScriptText(contents.data, path, why);
}

} // namespace trivex::ctl
