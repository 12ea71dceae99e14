#pragma once

#include "protocol/Bytes.h"

#include <array>
#include <cstdint>

// The commands that reprogram a module. Each is an exchange of its own on the configuration
// address: write 1 is the start frame, write 2 the command body with the stop frame appended.
namespace trivex::protocol {

struct ConfigurationCommand {
    Bytes write1;
    Bytes write2;
};

enum class LineSpeed { Baud9600, Baud4800 };

using CustomBitmaps = std::array<std::uint8_t, 64>;

ConfigurationCommand setUid(std::uint8_t uid);
ConfigurationCommand setLineSpeed(LineSpeed speed);
// Each line is filled up to a full line with spaces at its end; a longer line is sent whole.
ConfigurationCommand setDefaultScreen(const Bytes& line1, const Bytes& line2);
ConfigurationCommand loadCustomCharacters(const CustomBitmaps& bitmaps);

// The parameter bytes that follow a configuration command code (after kCommandPrefix); -1 for
// a code that is no configuration command.
int configurationParameterCount(std::uint8_t code);

} // namespace trivex::protocol
