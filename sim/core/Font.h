#pragma once

#include <array>
#include <cstdint>

namespace trivex::sim {

// One character cell: eight pixel rows, the low five bits of each a row from left (bit 4) to
// right (bit 0).
using Glyph = std::array<std::uint8_t, 8>;

// The module's character ROM: ASCII, Western letters drawn as their base letter, 0xFF a full
// block (the bar graphs use it); codes without a character show a hollow box.
Glyph romGlyph(std::uint8_t code);

} // namespace trivex::sim
