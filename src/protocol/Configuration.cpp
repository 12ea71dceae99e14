#include "protocol/Configuration.h"

#include "protocol/Markers.h"
#include "protocol/Selection.h"

namespace trivex::protocol {

namespace {

ConfigurationCommand exchange(std::uint8_t code, const Bytes& payload = {}) {
    Bytes body{byteChar(kCommandPrefix), byteChar(code)};
    return {startFrame(kConfigurationAddress), body + payload + stopFrame()};
}

// A line filled with spaces at its end up to a full display line; never shortened.
Bytes padToLine(const Bytes& line) {
    Bytes padded = line;
    if (padded.size() < static_cast<std::size_t>(kLineLength)) {
        padded.append(static_cast<std::size_t>(kLineLength) - padded.size(), ' ');
    }
    return padded;
}

} // namespace

ConfigurationCommand setUid(std::uint8_t uid) {
    return exchange(kSetUid, Bytes(1, byteChar(uid)));
}

ConfigurationCommand setLineSpeed(LineSpeed speed) {
    return exchange(speed == LineSpeed::Baud9600 ? kLineSpeed9600 : kLineSpeed4800);
}

ConfigurationCommand setDefaultScreen(const Bytes& line1, const Bytes& line2) {
    return exchange(kSetDefaultScreen, padToLine(line1) + padToLine(line2));
}

ConfigurationCommand loadCustomCharacters(const CustomBitmaps& bitmaps) {
    return exchange(kLoadCustomCharacters, Bytes(bitmaps.begin(), bitmaps.end()));
}

int configurationParameterCount(std::uint8_t code) {
    switch (code) {
    case kSetUid:
        return 1;
    case kLineSpeed9600:
    case kLineSpeed4800:
        return 0;
    case kSetDefaultScreen:
        return kLineCount * kLineLength;
    case kLoadCustomCharacters:
        return kCustomBitmapBytes;
    default:
        return -1;
    }
}

} // namespace trivex::protocol
