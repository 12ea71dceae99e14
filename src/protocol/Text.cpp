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

std::optional<Bytes> parseHexBytes(std::string_view text) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    Bytes bytes;
    std::size_t at = 0;
    while (at < text.size()) {
        if (isBlank(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !isBlank(text[end])) {
            ++end;
        }
        if ((end - at) % 2 != 0) {
            return std::nullopt;
        }
        for (; at < end; at += 2) {
            const int high = digit(text[at]);
            const int low = digit(text[at + 1]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            bytes += byteChar(static_cast<std::uint8_t>(high * 16 + low));
        }
    }
    if (bytes.empty()) {
        return std::nullopt;
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
