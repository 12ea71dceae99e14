#pragma once

#include "sim/core/Font.h"

#include <array>
#include <cstdint>
#include <string>

namespace trivex::sim {

enum class CursorStyle { Hidden, Underline, Blinking };
enum class Backlight { On, Off, Blinking };

// The 16 x 2 character display of one module: what each cell holds, the eight custom
// character bitmaps, cursor and backlight.
class Lcd {
public:
    static constexpr int kRows = 2;
    static constexpr int kColumns = 16;
    using Screen = std::array<std::uint8_t, kRows * kColumns>;

    Lcd();

    void clear();
    // Writes a character at the cursor, which then moves on: past the end of a line to the
    // start of the other one.
    void put(std::uint8_t code);
    void lineBreak();
    void setCursor(int row, int column);
    void clearRow(int row);
    void clearColumn(int column);
    void show(const Screen& screen);
    void defineCharacter(int index, const Glyph& rows);
    // Loads the bar patterns into the custom characters: 1 to 4 columns from the left in 0 to 3,
    // from the right in 4 to 7.
    void initGraph();
    // A bar of length pixel columns (0 to 80) on the cursor's row.
    void drawGraph(int length, bool leftToRight);

    std::uint8_t cell(int row, int column) const {
        return cells_[static_cast<std::size_t>(row * kColumns + column)];
    }
    Glyph glyphAt(int row, int column) const;
    const Glyph& customCharacter(int index) const { return custom_[static_cast<std::size_t>(index)]; }

    // One line as text (UTF-8): characters as they are, custom character n as a circled
    // digit n + 1, the full block as a block.
    std::string lineText(int row) const;

    CursorStyle cursorStyle = CursorStyle::Hidden;
    Backlight backlight = Backlight::On;
    int cursorRow = 0;
    int cursorColumn = 0;

private:
    Screen cells_{};
    std::array<Glyph, 8> custom_{};
};

} // namespace trivex::sim
