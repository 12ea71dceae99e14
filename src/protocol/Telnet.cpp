#include "protocol/Telnet.h"

namespace trivex::protocol::telnet {

Bytes escape(const Bytes& data) {
    Bytes out;
    out.reserve(data.size());
    for (char byte : data) {
        out += byte;
        if (static_cast<std::uint8_t>(byte) == kIac) {
            out += byte;
        }
    }
    return out;
}

Bytes command(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

Bytes comPort(std::uint8_t code, const Bytes& value) {
    Bytes out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
              static_cast<char>(code)};
    out += escape(value);
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
    return out;
}

Bytes baudValue(std::uint32_t rate) {
    return {static_cast<char>(rate >> 24), static_cast<char>(rate >> 16), static_cast<char>(rate >> 8),
            static_cast<char>(rate)};
}

std::uint32_t baudOf(const Bytes& value) {
    std::uint32_t rate = 0;
    for (std::size_t i = 0; i < 4 && i < value.size(); ++i) {
        rate = rate << 8 | static_cast<std::uint8_t>(value[i]);
    }
    return rate;
}

// What a peer puts into a subnegotiation is kept up to a bound: one that never ends it cannot
// make the reader grow without end.
void Reader::keepInSubnegotiation(char byte) {
    if (sub_.size() < kMaxSubnegotiation) {
        sub_ += byte;
    }
}

Bytes Reader::feed(const Bytes& block, std::vector<Event>& events) {
    Bytes data;
    for (char c : block) {
        const auto byte = static_cast<std::uint8_t>(c);
        switch (state_) {
        case State::Data:
            if (byte == kIac) {
                state_ = State::Iac;
            } else {
                data += c;
            }
            break;
        case State::Iac:
            if (byte == kIac) {
                data += c;
                state_ = State::Data;
            } else if (byte == kSb) {
                sub_.clear();
                state_ = State::Sub;
            } else if (byte >= kWill) {
                verb_ = byte;
                state_ = State::Verb;
            } else {
                state_ = State::Data; // a command without option (NOP, GA, ...): nothing to do
            }
            break;
        case State::Verb:
            events.push_back({false, verb_, byte, {}});
            state_ = State::Data;
            break;
        case State::Sub:
            if (byte == kIac) {
                state_ = State::SubIac;
            } else {
                keepInSubnegotiation(c);
            }
            break;
        case State::SubIac:
            if (byte == kIac) {
                keepInSubnegotiation(c);
                state_ = State::Sub;
            } else {
                // IAC SE ends it (any other command ends a broken one the same way).
                if (!sub_.empty()) {
                    events.push_back({true, 0, static_cast<std::uint8_t>(sub_[0]), sub_.substr(1)});
                }
                state_ = State::Data;
            }
            break;
        }
    }
    return data;
}

} // namespace trivex::protocol::telnet
