#pragma once

#include "protocol/Bytes.h"

#include <cstdint>
#include <optional>

// Selecting and releasing one module on the bus, the input status query, and recognising
// the module's replies.
namespace trivex::protocol {

Bytes startFrame(std::uint8_t address);
Bytes stopFrame();
Bytes inputStatusQuery();

struct Reply {
    bool acknowledged = false;          // byte 0 is the acknowledge, byte 1 the selected address
    std::optional<std::uint8_t> status; // byte 2, taken only while waiting for three bytes
};

// Judges one block as read from the port in one receive event. Only positions 0 and 1 count
// for the acknowledge; with a threshold of three, byte 2 is the status byte whether or not the
// acknowledge matched. A block shorter than the threshold matches nothing.
Reply recogniseReply(const Bytes& block, std::uint8_t selectedAddress, int threshold);

enum class InputLevel { Low, High };

// Only the two defined status bytes have a meaning; any other value changes nothing.
std::optional<InputLevel> inputLevelOf(std::uint8_t status);

} // namespace trivex::protocol
