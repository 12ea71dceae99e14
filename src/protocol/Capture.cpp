#include "protocol/Capture.h"

#include <cstdlib>

namespace trivex::protocol::capture {

namespace {

constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kEnhancedPacket = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kEndOfOptions = 0;
constexpr std::uint16_t kShbUserApplication = 4;
constexpr std::uint16_t kIfDescription = 3;
constexpr std::uint16_t kIfTimestampResolution = 9;
constexpr std::uint16_t kEpbFlags = 2;
constexpr std::uint32_t kInbound = 1;
constexpr std::uint32_t kOutbound = 2;
const std::string kBusName = "TRIVEX RS485 bus, ";

// Little-endian writing, as the section header's magic says.
void put16(Bytes& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}
void put32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}
void pad(Bytes& out) {
    out.append((4 - out.size() % 4) % 4, '\0');
}
void option(Bytes& out, std::uint16_t code, const Bytes& value) {
    put16(out, code);
    put16(out, static_cast<std::uint16_t>(value.size()));
    out += value;
    pad(out);
}

// A block: its type, its body (options included), its length before and after.
Bytes block(std::uint32_t type, const Bytes& body) {
    Bytes out;
    put32(out, type);
    put32(out, static_cast<std::uint32_t>(body.size() + 12));
    out += body;
    put32(out, static_cast<std::uint32_t>(body.size() + 12));
    return out;
}

// Reading in the section's byte order.
struct Reader {
    const Bytes& data;
    bool swapped = false;
    std::uint32_t u32(std::size_t at) const {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int index = swapped ? 3 - i : i;
            value |= static_cast<std::uint32_t>(byteAt(data, at + static_cast<std::size_t>(index)))
                     << (8 * i);
        }
        return value;
    }
    std::uint16_t u16(std::size_t at) const {
        return swapped ? static_cast<std::uint16_t>(byteAt(data, at) << 8 | byteAt(data, at + 1))
                       : static_cast<std::uint16_t>(byteAt(data, at + 1) << 8 | byteAt(data, at));
    }
};

// The ticks of a second an interface's timestamps count, from its if_tsresol value.
std::uint64_t ticksPerSecond(std::uint8_t resolution) {
    std::uint64_t ticks = 1;
    const std::uint64_t base = resolution & 0x80 ? 2 : 10;
    for (int i = 0; i < (resolution & 0x7F) && ticks < (1ULL << 62) / base; ++i) {
        ticks *= base;
    }
    return ticks;
}

// A time stamp of ticks a second in microseconds since the epoch; one beyond any clock (some
// 146,000 years) is held at that bound, so that the times of frames can be subtracted.
std::int64_t microsOf(std::uint64_t stamp, std::uint64_t ticks) {
    constexpr std::uint64_t kLatest = 1ULL << 62;
    const std::uint64_t seconds = stamp / ticks;
    if (seconds >= kLatest / 1000000) {
        return static_cast<std::int64_t>(kLatest);
    }
    // The fraction in floating point: ticks may be up to 2^62 a second.
    const auto fraction = static_cast<std::uint64_t>(static_cast<long double>(stamp % ticks) * 1000000 /
                                                     static_cast<long double>(ticks));
    return static_cast<std::int64_t>(seconds * 1000000 + fraction);
}

} // namespace

std::string describeBus(int speed) {
    return kBusName + (speed > 0 ? std::to_string(speed) + " bit/s" : "the server's speed");
}

int speedOf(const std::string& description) {
    const std::size_t at = description.find(kBusName);
    return at == std::string::npos ? 0 : std::atoi(description.c_str() + at + kBusName.size());
}

Bytes header(const std::string& description, const std::string& application) {
    Bytes section;
    put32(section, kByteOrderMagic);
    put16(section, 1); // version 1.0
    put16(section, 0);
    put32(section, 0xFFFFFFFF); // section length not given
    put32(section, 0xFFFFFFFF);
    option(section, kShbUserApplication, application);
    option(section, kEndOfOptions, {});
    Bytes interface;
    put16(interface, kLinkType);
    put16(interface, 0);
    put32(interface, 0); // no snapshot length
    option(interface, kIfDescription, description);
    option(interface, kIfTimestampResolution, Bytes(1, 6)); // microseconds
    option(interface, kEndOfOptions, {});
    return block(kSectionHeader, section) + block(kInterfaceDescription, interface);
}

Bytes packet(const Packet& packet) {
    Bytes body;
    put32(body, 0); // the one interface
    const auto micros = static_cast<std::uint64_t>(packet.micros);
    put32(body, static_cast<std::uint32_t>(micros >> 32));
    put32(body, static_cast<std::uint32_t>(micros & 0xFFFFFFFF));
    put32(body, static_cast<std::uint32_t>(packet.bytes.size()));
    put32(body, static_cast<std::uint32_t>(packet.bytes.size()));
    body += packet.bytes;
    pad(body);
    Bytes flags;
    put32(flags, packet.direction == Direction::ToBus ? kOutbound : kInbound);
    option(body, kEpbFlags, flags);
    option(body, kEndOfOptions, {});
    return block(kEnhancedPacket, body);
}

std::optional<Capture> read(const Bytes& file, std::string* why) {
    Capture capture;
    Reader in{file};
    std::vector<std::uint64_t> interfaces; // ticks a second, by interface
    if (file.empty()) {
        *why = "it is empty";
        return std::nullopt;
    }
    if (file.size() < 12 || Reader{file}.u32(0) != kSectionHeader) {
        *why = "it is no pcapng file: it does not begin with a section header";
        return std::nullopt;
    }
    for (std::size_t at = 0; at < file.size();) {
        if (file.size() - at < 12) {
            *why = "it ends inside a block";
            return std::nullopt;
        }
        const std::uint32_t type = Reader{file}.u32(at) == kSectionHeader ? kSectionHeader : in.u32(at);
        if (type == kSectionHeader) {
            const std::uint32_t magic = Reader{file}.u32(at + 8);
            if (magic != kByteOrderMagic && magic != 0x4D3C2B1A) {
                *why = "its section header has no byte-order magic";
                return std::nullopt;
            }
            in.swapped = magic != kByteOrderMagic;
            interfaces.clear();
        }
        const std::uint32_t length = in.u32(at + 4);
        if (length < 12 || length % 4 != 0 || length > file.size() - at ||
            in.u32(at + length - 4) != length) {
            *why = "a block's length does not add up, at byte " + std::to_string(at);
            return std::nullopt;
        }
        // The options of a block, from offset on to its end: code, length, padded value.
        auto options = [&](std::size_t offset, auto&& each) {
            for (std::size_t o = at + offset; o + 4 <= at + length - 4;) {
                const std::uint16_t code = in.u16(o);
                const std::uint16_t size = in.u16(o + 2);
                if (code == kEndOfOptions || o + 4 + size > at + length - 4) {
                    break;
                }
                each(code, o + 4, size);
                o += 4 + ((size + 3u) & ~3u);
            }
        };
        if (type == kInterfaceDescription) {
            if (length < 20) {
                *why = "an interface description block is too short";
                return std::nullopt;
            }
            if (in.u16(at + 8) != kLinkType) {
                *why = "its link type is " + std::to_string(in.u16(at + 8)) + ", not the TRIVEX bus (" +
                       std::to_string(kLinkType) + ")";
                return std::nullopt;
            }
            std::uint64_t ticks = 1000000;
            options(16, [&](std::uint16_t code, std::size_t value, std::uint16_t size) {
                if (code == kIfTimestampResolution && size >= 1) {
                    ticks = ticksPerSecond(byteAt(file, value));
                } else if (code == kIfDescription && capture.description.empty()) {
                    capture.description = file.substr(value, size);
                }
            });
            interfaces.push_back(ticks);
        } else if (type == kEnhancedPacket) {
            const std::uint32_t interface = in.u32(at + 8);
            const std::uint32_t captured = length >= 32 ? in.u32(at + 20) : 0;
            if (length < 32 || interface >= interfaces.size() || captured > length - 32) {
                *why = "a packet block names no interface, or holds more than it is long, at byte " +
                       std::to_string(at);
                return std::nullopt;
            }
            Packet p;
            const std::uint64_t stamp = static_cast<std::uint64_t>(in.u32(at + 12)) << 32 | in.u32(at + 16);
            p.micros = microsOf(stamp, interfaces[interface]);
            p.bytes = file.substr(at + 28, captured);
            std::uint32_t flags = 0;
            options(28 + ((captured + 3u) & ~3u),
                    [&](std::uint16_t code, std::size_t value, std::uint16_t size) {
                        if (code == kEpbFlags && size == 4) {
                            flags = in.u32(value);
                        }
                    });
            p.direction = (flags & 3) == kInbound ? Direction::FromBus : Direction::ToBus;
            capture.packets.push_back(std::move(p));
        }
        at += length;
    }
    return capture;
}

} // namespace trivex::protocol::capture
