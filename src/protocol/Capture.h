#pragma once

#include "protocol/Decoder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A capture of the bus in its file form, pcapng as Wireshark reads it: one packet per frame or
// command, its time in microseconds, its direction in the packet's flags (outbound: the
// controller's, inbound: a module's), on a user link type, the line speed in the interface's
// description.
namespace trivex::protocol::capture {

// DLT_USER0: a link type for private use, which the dissector the project ships takes.
constexpr std::uint16_t kLinkType = 147;

struct Packet {
    std::int64_t micros = 0; // since the epoch
    Direction direction = Direction::ToBus;
    Bytes bytes;
};

struct Capture {
    std::string description; // of the interface: "TRIVEX RS485 bus, 9600 bit/s"
    std::vector<Packet> packets;
};

// What a bus at speed bit/s (0: the server's) is called in a capture.
std::string describeBus(int speed);
// The line speed a capture's description names; 0 for none.
int speedOf(const std::string& description);

// The file's beginning: a section header naming the program, and one interface.
Bytes header(const std::string& description, const std::string& application);
// One packet, as an enhanced packet block.
Bytes packet(const Packet& packet);

// The packets of a whole file; none, with *why, for bytes that are no pcapng capture of this
// link type.
std::optional<Capture> read(const Bytes& file, std::string* why);

} // namespace trivex::protocol::capture
