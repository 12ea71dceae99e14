#pragma once

#include <cstddef>
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

// Bits of one byte on the line at n,8,1: a start bit, eight data bits and a stop bit.
constexpr int kBitsPerByte = 10;

// The milliseconds that count bytes take on the line at speed bit/s.
constexpr double wireMs(std::size_t count, int speed) {
    return 1000.0 * kBitsPerByte * static_cast<double>(count) / speed;
}

} // namespace trivex::protocol
