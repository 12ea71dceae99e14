#pragma once

#include "protocol/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Telnet as serial servers speak it (RFC 854), with the COM-PORT-OPTION of RFC 2217 that sets a
// remote serial port's line: the bytes each way, with the commands between the data.
namespace trivex::protocol::telnet {

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;

// Options.
constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPort = 44;

// COM-PORT-OPTION commands from the client; the server's answer to each is its code plus 100.
constexpr std::uint8_t kSetBaudRate = 1; // four bytes, network order; 0 asks for the current rate
constexpr std::uint8_t kSetDataSize = 2; // 5 to 8
constexpr std::uint8_t kSetParity = 3;   // 1 none, 2 odd, 3 even, 4 mark, 5 space
constexpr std::uint8_t kSetStopSize = 4; // 1 one, 2 two, 3 one and a half
constexpr std::uint8_t kSetControl = 5;  // 1 no flow control, 8 DTR on, 11 RTS on
constexpr std::uint8_t kServerOffset = 100;

// Data for the wire: every 0xFF doubled.
Bytes escape(const Bytes& data);
// IAC verb option.
Bytes command(std::uint8_t verb, std::uint8_t option);
// A COM-PORT-OPTION command with its value (0xFF in it doubled), framed as a subnegotiation.
Bytes comPort(std::uint8_t code, const Bytes& value);
// A baud rate as a COM-PORT-OPTION value: four bytes, network order.
Bytes baudValue(std::uint32_t rate);
std::uint32_t baudOf(const Bytes& value);

// What came between the data: a command (IAC verb option), or a subnegotiation's option and
// its payload (unescaped).
struct Event {
    bool subnegotiation = false;
    std::uint8_t verb = 0; // for a command
    std::uint8_t option = 0;
    Bytes payload;
};

// Reads a Telnet stream block by block: a command or subnegotiation split over blocks is taken
// up where it stopped.
class Reader {
public:
    // The data bytes of block (0xFF once for each doubled one); events gets the commands and
    // subnegotiations, in order.
    Bytes feed(const Bytes& block, std::vector<Event>& events);

    // The longest subnegotiation kept; what comes beyond it is dropped.
    static constexpr std::size_t kMaxSubnegotiation = 1024;

private:
    void keepInSubnegotiation(char byte);

    enum class State { Data, Iac, Verb, Sub, SubIac };
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Bytes sub_;
};

} // namespace trivex::protocol::telnet
