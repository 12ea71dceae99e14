#include "session/DisplayText.h"

#include "protocol/Display.h"
#include "protocol/Markers.h"
#include "protocol/Text.h"
#include "session/Texts.h"

namespace trivex::session {

QString displayTextRefusal(const QString& text) {
    const std::u32string characters = text.toStdU32String();
    for (char32_t character : characters) {
        if (!protocol::isTypeable(character)) {
            const QString shown = QString::fromUcs4(&character, 1);
            return (protocol::isFrameMarker(character) ? texts::kMarkerRefused : texts::kNoByteRefused)
                .arg(shown);
        }
    }
    if (characters.size() > static_cast<std::size_t>(protocol::kLineLength)) {
        return QStringLiteral(
                   "\u201C%1\u201D does not fit: it holds %2 characters, and a line of the display holds %3.")
            .arg(text)
            .arg(characters.size())
            .arg(protocol::kLineLength);
    }
    return {};
}

QString defaultScreenRefusal(int n, const QString& text) {
    const std::u32string characters = text.toStdU32String();
    if (characters.size() > static_cast<std::size_t>(protocol::kLineLength)) {
        return texts::kLineTooLong.arg(n).arg(characters.size()).arg(protocol::kLineLength);
    }
    for (char32_t character : characters) {
        if (protocol::isFrameMarker(character)) {
            return texts::kLineHoldsMarker.arg(n).arg(QString::fromUcs4(&character, 1));
        }
    }
    return {};
}

QString lineAsSent(const QString& text) {
    QString line;
    for (char32_t character : text.toStdU32String()) {
        line += protocol::isSendable(character) ? QString::fromUcs4(&character, 1)
                                                : QString(QLatin1Char(protocol::kUnsendableReplacement));
    }
    return line.leftJustified(protocol::kLineLength, QLatin1Char(' '));
}

std::optional<protocol::ConfigurationCommand> defaultScreenCommand(const QString& line1, const QString& line2,
                                                                   QString* why) {
    const QString lines[] = {line1, line2};
    for (int n = 1; n <= protocol::kLineCount; ++n) {
        if (QString refusal = defaultScreenRefusal(n, lines[n - 1]); !refusal.isEmpty()) {
            *why = refusal;
            return std::nullopt;
        }
    }
    return protocol::setDefaultScreen(protocol::displayBytes(lineAsSent(line1).toStdU32String()),
                                      protocol::displayBytes(lineAsSent(line2).toStdU32String()));
}

std::optional<protocol::Bytes> textMessage(const QString& line1, const QString& line2) {
    const protocol::Bytes first = protocol::displayBytes(line1.toStdU32String());
    const protocol::Bytes second = protocol::displayBytes(line2.toStdU32String());
    if (first.empty() && second.empty()) {
        return std::nullopt;
    }
    return protocol::writeText(first, second);
}

} // namespace trivex::session
