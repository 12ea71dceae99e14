#pragma once

#include "protocol/Bytes.h"

#include <cstddef>
#include <string>
#include <vector>

// What a block of bytes on the bus means, in words: every frame, command, text run and reply it
// holds, from the command tables. For the traffic monitor; it holds no state, so each block is
// read on its own.
namespace trivex::protocol {

enum class Direction { ToBus, FromBus };

// One part of a block: bytes [offset, offset + length) and what they mean. The parts of a block
// follow each other without gap or overlap, so that every byte is in exactly one.
struct DecodedPart {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string meaning; // UTF-8
};

// replyLength is the number of bytes the program waits for in a reply (3 while an input status
// reply is awaited): a third byte after an acknowledge is then the input status.
std::vector<DecodedPart> decode(const Bytes& block, Direction direction, int replyLength = 2);

// The meanings of all parts, joined with ", ".
std::string describe(const Bytes& block, Direction direction, int replyLength = 2);

// Bytes in upper-case hex separated by single blanks: "EF 65".
std::string hexText(const Bytes& bytes);

} // namespace trivex::protocol
