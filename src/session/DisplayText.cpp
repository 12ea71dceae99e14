#include "session/DisplayText.h"

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

} // namespace trivex::session
