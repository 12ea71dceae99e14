#include "sim/core/StateFile.h"

#include <charconv>
#include <set>
#include <sstream>

namespace trivex::sim {

namespace {

template <class Bytes> std::string hexOf(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

template <class Bytes> bool fromHex(const std::string& text, Bytes& bytes) {
    if (text.size() != bytes.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned value = 0;
        for (char c : text.substr(i * 2, 2)) {
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::optional<int> wholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string formatState(const std::vector<ModuleSettings>& modules) {
    std::string text;
    for (const ModuleSettings& m : modules) {
        text += "module address=" + std::to_string(m.address) + " speed=" + std::to_string(m.lineSpeed) +
                " screen=" + hexOf(m.defaultScreen) + " bitmaps=" + hexOf(m.bitmaps) + "\n";
    }
    return text;
}

std::optional<std::vector<ModuleSettings>> parseState(const std::string& text) {
    std::vector<ModuleSettings> modules;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        std::istringstream fields(line);
        std::string word;
        fields >> word;
        if (word != "module") {
            return std::nullopt;
        }
        ModuleSettings m;
        std::set<std::string> seen; // the keys given so far; each of the four known ones is allowed once
        while (fields >> word) {
            const auto equals = word.find('=');
            const std::string key = word.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
            if (!seen.insert(key).second) {
                return std::nullopt;
            }
            if (key == "address") {
                const auto address = wholeNumber(value);
                if (!address || *address > 255) {
                    return std::nullopt;
                }
                m.address = static_cast<std::uint8_t>(*address);
            } else if (key == "speed") {
                const auto speed = wholeNumber(value);
                if (!speed || (*speed != 9600 && *speed != 4800)) {
                    return std::nullopt;
                }
                m.lineSpeed = *speed;
            } else if (key == "screen" ? !fromHex(value, m.defaultScreen)
                                       : key != "bitmaps" || !fromHex(value, m.bitmaps)) {
                return std::nullopt;
            }
        }
        if (seen.size() != 4) {
            return std::nullopt; // a key is missing (any other key was refused above)
        }
        modules.push_back(m);
    }
    return modules;
}

} // namespace trivex::sim
