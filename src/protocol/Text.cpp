#include "protocol/Text.h"

#include "protocol/Markers.h"

namespace trivex::protocol {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool isSendable(char32_t character) {
    return character <= 0xFF;
}

bool isFrameMarker(char32_t character) {
    return character == kStartFrame || character == kStopFrame || character == kCommandPrefix ||
           character == kAcknowledge;
}

bool isTypeable(char32_t character) {
    return isSendable(character) && !isFrameMarker(character);
}

Bytes displayBytes(std::u32string_view text) {
    Bytes bytes;
    bytes.reserve(text.size());
    for (char32_t character : text) {
        bytes +=
            isSendable(character) ? byteChar(static_cast<std::uint8_t>(character)) : kUnsendableReplacement;
    }
    return bytes;
}

std::optional<std::uint8_t> parseByte(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace trivex::protocol
