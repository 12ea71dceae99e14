// The number rule on any text: a value exactly when the text, blanks around it aside, is
// decimal digits naming 0 to 255.

#include "Check.h"
#include "protocol/Text.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto value = trivex::protocol::parseByte(text);
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    const std::string core =
        first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    bool digits = !core.empty();
    unsigned long long number = 0;
    bool large = false;
    for (char c : core) {
        digits = digits && c >= '0' && c <= '9';
        if (digits && !large) {
            number = number * 10 + static_cast<unsigned>(c - '0');
            large = number > 255;
        }
    }
    FUZZ_CHECK(value.has_value() == (digits && !large));
    if (value) {
        FUZZ_CHECK(*value == number);
    }
    return 0;
}
