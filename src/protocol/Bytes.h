#pragma once

#include <cstdint>
#include <string>

namespace trivex::protocol {

// A command string exactly as it goes on the wire: one byte per char, no terminator,
// no escaping. std::string is used because it holds any byte value, 0x00 included.
using Bytes = std::string;

inline char byteChar(std::uint8_t value) {
    return static_cast<char>(value);
}
inline std::uint8_t byteAt(const Bytes& bytes, std::size_t index) {
    return static_cast<std::uint8_t>(bytes[index]);
}

} // namespace trivex::protocol
