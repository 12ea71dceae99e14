#pragma once

#include "protocol/Bytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Turning what the operator types into bytes.
namespace trivex::protocol {

// The byte that stands for a character that has no byte of its own.
constexpr char kUnsendableReplacement = '?';

// Display text travels as ISO 8859-1: code points up to U+00FF are their own byte.
bool isSendable(char32_t character);

// Characters whose byte is a frame marker (\u00EA, \u00EE, \u00EF, \u00FE are EA, EE, EF, FE): typed into
// display text they would release, select or command modules instead of being shown.
bool isFrameMarker(char32_t character);

// What an operator may type into display text: a character with a byte of its own that is no
// frame marker.
bool isTypeable(char32_t character);

// One byte per character; a character beyond ISO 8859-1 becomes kUnsendableReplacement.
Bytes displayBytes(std::u32string_view text);

// Bytes written as pairs of hex digits, in groups separated by blanks or not ("FE 14", "fe14");
// no value for anything else (an odd digit, a letter that is no hex digit, nothing at all).
std::optional<Bytes> parseHexBytes(std::string_view text);

// A whole decimal number from 0 to 255, blanks around it ignored, leading zeros allowed.
// Anything else (empty, letters, signs, fractions, 256 and above) gives no value.
std::optional<std::uint8_t> parseByte(std::string_view text);

} // namespace trivex::protocol
