// The script reader on any bytes: every line it keeps splits into words that, quoted and joined
// again, split into the same words; and every line's words are read as steps or refused, each
// step taking at least its word.

#include "Check.h"
#include "ctl/Script.h"
#include "ctl/Steps.h"

#include <QByteArray>
#include <cstdint>

namespace {

QString quoted(QString word) {
    word.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + word + QLatin1Char('"');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString why;
    const auto lines = trivex::ctl::readScriptText(text, QStringLiteral("fuzz"), &why);
    FUZZ_CHECK(lines || !why.isEmpty()); // a refusal says why
    if (!lines) {
        return 0;
    }
    int previous = 0;
    for (const trivex::ctl::ScriptLine& line : *lines) {
        FUZZ_CHECK(line.number > previous && !line.words.isEmpty());
        previous = line.number;
        QStringList again;
        for (const QString& word : line.words) {
            again << quoted(word);
        }
        const auto split = trivex::ctl::splitLine(again.join(QLatin1Char(' ')), &why);
        FUZZ_CHECK(split && *split == line.words);
        for (qsizetype at = 0; at < line.words.size();) {
            const qsizetype before = at;
            if (!trivex::ctl::readStep(line.words, &at, QStringLiteral("fuzz"), &why)) {
                FUZZ_CHECK(!why.isEmpty());
                break;
            }
            FUZZ_CHECK(at > before && at <= line.words.size());
        }
    }
    return 0;
}
