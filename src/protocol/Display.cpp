#include "protocol/Display.h"

#include "protocol/Markers.h"

#include <initializer_list>

namespace trivex::protocol {

namespace {

Bytes prefixed(std::uint8_t code, std::initializer_list<std::uint8_t> parameters = {}) {
    Bytes bytes{byteChar(kCommandPrefix), byteChar(code)};
    for (std::uint8_t parameter : parameters) {
        bytes += byteChar(parameter);
    }
    return bytes;
}

} // namespace

Bytes clearDisplay() {
    return Bytes(1, byteChar(kClearDisplay));
}

Bytes writeText(const Bytes& line1, const Bytes& line2) {
    if (line1.empty() && line2.empty()) {
        return {};
    }
    Bytes bytes = clearDisplay() + line1;
    if (!line2.empty() && line1.size() < static_cast<std::size_t>(kLineLength)) {
        bytes += byteChar(kLineBreak);
    }
    return bytes + line2;
}

Bytes customCharacter(int number) {
    return Bytes(1, byteChar(static_cast<std::uint8_t>(number - 1)));
}

Bytes showDefaultScreen() {
    return prefixed(kShowDefaultScreen);
}
Bytes setCursorPosition(std::uint8_t row, std::uint8_t column) {
    return prefixed(kSetCursorPosition, {row, column});
}
Bytes clearRow(std::uint8_t row) {
    return prefixed(kClearRow, {row});
}
Bytes clearColumn(std::uint8_t column) {
    return prefixed(kClearColumn, {column});
}
Bytes underlineCursor() {
    return prefixed(kUnderlineCursor);
}
Bytes blinkingCursor() {
    return prefixed(kBlinkingCursor);
}
Bytes hideCursor() {
    return prefixed(kHideCursor);
}
Bytes backlightOn() {
    return prefixed(kBacklightOn);
}
Bytes backlightOff() {
    return prefixed(kBacklightOff);
}
Bytes backlightBlink() {
    return prefixed(kBacklightBlink);
}
Bytes initGraph() {
    return prefixed(kInitGraph);
}
Bytes graphLeftToRight(std::uint8_t length) {
    return prefixed(kGraphLeftToRight, {length});
}
Bytes graphRightToLeft(std::uint8_t length) {
    return prefixed(kGraphRightToLeft, {length});
}
Bytes outputOn() {
    return prefixed(kOutputOn);
}
Bytes outputOff() {
    return prefixed(kOutputOff);
}

int displayParameterCount(std::uint8_t code) {
    switch (code) {
    case kUnderlineCursor:
    case kBlinkingCursor:
    case kHideCursor:
    case kInitGraph:
    case kBacklightOn:
    case kBacklightOff:
    case kBacklightBlink:
    case kOutputOn:
    case kOutputOff:
    case kInputStatus:
    case kShowDefaultScreen:
        return 0;
    case kGraphLeftToRight:
    case kGraphRightToLeft:
    case kClearRow:
    case kClearColumn:
        return 1;
    case kSetCursorPosition:
        return 2;
    default:
        return -1;
    }
}

} // namespace trivex::protocol
