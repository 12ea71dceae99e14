#include "protocol/Decoder.h"

#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <algorithm>
#include <cstdio>

namespace trivex::protocol {

namespace {

std::string number(int value) {
    return std::to_string(value);
}

std::string hexByte(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

// Text as it would show: printable characters themselves (Latin-1 ones in UTF-8), others as
// \xNN, in double quotes.
std::string quoted(const Bytes& bytes) {
    std::string text = "\"";
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            text += static_cast<char>(byte);
        } else if (byte >= 0xA0) {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            text += "\\x" + hexByte(byte);
        }
    }
    return text + "\"";
}

// The parameter bytes of the command with this code, in either exchange (the codes of display
// and configuration commands differ); -1 for a code that is none.
int parameterCount(std::uint8_t code) {
    const int display = displayParameterCount(code);
    return display >= 0 ? display : configurationParameterCount(code);
}

std::string commandName(std::uint8_t code) {
    switch (code) {
    case kUnderlineCursor:
        return "underline cursor";
    case kBlinkingCursor:
        return "blinking cursor";
    case kHideCursor:
        return "hide cursor";
    case kInitGraph:
        return "init graph";
    case kBacklightOn:
        return "backlight on";
    case kBacklightOff:
        return "backlight off";
    case kBacklightBlink:
        return "backlight blink";
    case kOutputOn:
        return "output on";
    case kOutputOff:
        return "output off";
    case kInputStatus:
        return "input status query";
    case kShowDefaultScreen:
        return "show default screen";
    case kGraphLeftToRight:
        return "left-to-right graph";
    case kGraphRightToLeft:
        return "right-to-left graph";
    case kClearRow:
        return "clear row";
    case kClearColumn:
        return "clear column";
    case kSetCursorPosition:
        return "cursor position";
    case kSetUid:
        return "set UID";
    case kLineSpeed9600:
        return "line speed 9600 bit/s";
    case kLineSpeed4800:
        return "line speed 4800 bit/s";
    case kSetDefaultScreen:
        return "set default screen";
    default:
        return "load custom characters";
    }
}

// A whole command: its name and what its parameters say.
std::string commandMeaning(std::uint8_t code, const Bytes& parameters) {
    auto at = [&](std::size_t index) { return static_cast<int>(byteAt(parameters, index)); };
    switch (code) {
    case kGraphLeftToRight:
    case kGraphRightToLeft:
        return commandName(code) + ", length " + number(at(0));
    case kClearRow:
        return "clear row " + number(at(0));
    case kClearColumn:
        return "clear column " + number(at(0));
    case kSetCursorPosition:
        return "cursor to row " + number(at(0)) + ", column " + number(at(1));
    case kSetUid:
        return "set UID " + number(at(0));
    case kSetDefaultScreen:
        return "set default screen " + quoted(parameters.substr(0, kLineLength)) + " " +
               quoted(parameters.substr(kLineLength));
    case kLoadCustomCharacters:
        return "load custom characters, " + number(kCustomBitmapBytes) + " bytes";
    default:
        return commandName(code);
    }
}

bool isText(std::uint8_t byte) {
    return byte > 0x07 && byte != kStartFrame && byte != kStopFrame && byte != kCommandPrefix &&
           byte != kClearDisplay && byte != kLineBreak;
}

// One part of bytes written to the bus, starting at at.
DecodedPart sentPart(const Bytes& block, std::size_t at) {
    const std::size_t left = block.size() - at;
    const std::uint8_t byte = byteAt(block, at);
    if (byte == kStartFrame) {
        if (left < 2) {
            return {at, 1, "start frame without its address"};
        }
        const int address = byteAt(block, at + 1);
        return {at, 2,
                "start frame, address " + number(address) +
                    (address == kConfigurationAddress ? " (configuration)" : "")};
    }
    if (byte == kStopFrame) {
        return {at, 1, "stop frame"};
    }
    if (byte == kCommandPrefix) {
        if (left < 2) {
            return {at, 1, "command prefix without its command"};
        }
        const std::uint8_t code = byteAt(block, at + 1);
        const int parameters = parameterCount(code);
        if (parameters < 0) {
            return {at, 2, "unknown command FE " + hexByte(code)};
        }
        const std::size_t present = std::min(left - 2, static_cast<std::size_t>(parameters));
        if (present < static_cast<std::size_t>(parameters)) {
            return {at, 2 + present,
                    commandName(code) + ", cut short: " + number(static_cast<int>(present)) + " of " +
                        number(parameters) + " parameter bytes"};
        }
        return {at, 2 + present, commandMeaning(code, block.substr(at + 2, present))};
    }
    if (byte == kClearDisplay) {
        return {at, 1, "clear display"};
    }
    if (byte == kLineBreak) {
        return {at, 1, "line break"};
    }
    if (!isText(byte)) {
        return {at, 1, "custom character " + number(byte + 1)};
    }
    std::size_t end = at;
    while (end < block.size() && isText(byteAt(block, end))) {
        ++end;
    }
    return {at, end - at, "text " + quoted(block.substr(at, end - at))};
}

// The parts of bytes read from the bus.
std::vector<DecodedPart> receivedParts(const Bytes& block, int replyLength) {
    std::vector<DecodedPart> parts;
    std::size_t at = 0;
    while (at < block.size()) {
        if (byteAt(block, at) != kAcknowledge) {
            std::size_t end = at;
            while (end < block.size() && byteAt(block, end) != kAcknowledge) {
                ++end;
            }
            parts.push_back({at, end - at, "bytes that are no reply"});
            at = end;
            continue;
        }
        if (at + 1 >= block.size()) {
            parts.push_back({at, 1, "acknowledge without its address"});
            break;
        }
        parts.push_back({at, 2, "acknowledge from " + number(byteAt(block, at + 1))});
        at += 2;
        if (replyLength == kInputReplyLength && at < block.size()) {
            const std::uint8_t status = byteAt(block, at);
            const std::optional<InputLevel> level = inputLevelOf(status);
            parts.push_back({at, 1,
                             !level ? "input status byte " + hexByte(status) + ", no meaning"
                             : *level == InputLevel::High ? "input status: HIGH"
                                                          : "input status: LOW"});
            ++at;
        }
    }
    return parts;
}

} // namespace

std::vector<DecodedPart> decode(const Bytes& block, Direction direction, int replyLength) {
    if (direction == Direction::FromBus) {
        return receivedParts(block, replyLength);
    }
    std::vector<DecodedPart> parts;
    for (std::size_t at = 0; at < block.size(); at += parts.back().length) {
        parts.push_back(sentPart(block, at));
    }
    return parts;
}

std::string describe(const Bytes& block, Direction direction, int replyLength) {
    std::string text;
    for (const DecodedPart& part : decode(block, direction, replyLength)) {
        text += (text.empty() ? "" : ", ") + part.meaning;
    }
    return text;
}

std::string hexText(const Bytes& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        text += (text.empty() ? "" : " ") + hexByte(byte);
    }
    return text;
}

} // namespace trivex::protocol
