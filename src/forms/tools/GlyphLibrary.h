#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace trivex::forms {

// A glyph to start from: its name and its eight pixel rows (bit 4 the left pixel).
struct LibraryGlyph {
    QString name;
    std::array<std::uint8_t, 8> rows;
};

// Common glyphs for custom characters: degree sign, arrows, bell, heart, battery levels,
// signal bars, bar-graph steps and more.
const std::vector<LibraryGlyph>& glyphLibrary();

} // namespace trivex::forms
