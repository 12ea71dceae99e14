#include "sim/core/Lcd.h"

#include <algorithm>

namespace trivex::sim {

namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kFullBlock = 0xFF;
constexpr int kPixelsPerCell = 5;

void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

Lcd::Lcd() {
    clear();
}

void Lcd::clear() {
    cells_.fill(kSpace);
    cursorRow = 0;
    cursorColumn = 0;
}

void Lcd::put(std::uint8_t code) {
    cells_[static_cast<std::size_t>(cursorRow * kColumns + cursorColumn)] = code;
    if (++cursorColumn == kColumns) {
        cursorColumn = 0;
        cursorRow = (cursorRow + 1) % kRows;
    }
}

void Lcd::lineBreak() {
    cursorRow = 1;
    cursorColumn = 0;
}

void Lcd::setCursor(int row, int column) {
    cursorRow = std::clamp(row, 0, kRows - 1);
    cursorColumn = std::clamp(column, 0, kColumns - 1);
}

void Lcd::clearRow(int row) {
    std::fill_n(cells_.begin() + row * kColumns, kColumns, kSpace);
}

void Lcd::clearColumn(int column) {
    for (int row = 0; row < kRows; ++row) {
        cells_[static_cast<std::size_t>(row * kColumns + column)] = kSpace;
    }
}

void Lcd::show(const Screen& screen) {
    cells_ = screen;
    cursorRow = 0;
    cursorColumn = 0;
}

void Lcd::defineCharacter(int index, const Glyph& rows) {
    Glyph masked{};
    std::transform(rows.begin(), rows.end(), masked.begin(), [](std::uint8_t row) { return row & 0x1F; });
    custom_[static_cast<std::size_t>(index)] = masked;
}

void Lcd::initGraph() {
    for (int width = 1; width <= 4; ++width) {
        const auto fromLeft = static_cast<std::uint8_t>((0x1F << (kPixelsPerCell - width)) & 0x1F);
        const auto fromRight = static_cast<std::uint8_t>((1 << width) - 1);
        Glyph left;
        Glyph right;
        left.fill(fromLeft);
        right.fill(fromRight);
        defineCharacter(width - 1, left);
        defineCharacter(width + 3, right);
    }
}

void Lcd::drawGraph(int length, bool leftToRight) {
    length = std::clamp(length, 0, kColumns * kPixelsPerCell);
    const int full = length / kPixelsPerCell;
    const int part = length % kPixelsPerCell;
    for (int i = 0; i < kColumns; ++i) {
        std::uint8_t code = kSpace;
        if (i < full) {
            code = kFullBlock;
        } else if (i == full && part > 0) {
            code = static_cast<std::uint8_t>(leftToRight ? part - 1 : part + 3);
        }
        const int column = leftToRight ? i : kColumns - 1 - i;
        cells_[static_cast<std::size_t>(cursorRow * kColumns + column)] = code;
    }
}

Glyph Lcd::glyphAt(int row, int column) const {
    const std::uint8_t code = cell(row, column);
    return code < custom_.size() ? custom_[code] : romGlyph(code);
}

std::string Lcd::lineText(int row) const {
    std::string text;
    for (int column = 0; column < kColumns; ++column) {
        const std::uint8_t code = cell(row, column);
        if (code < 8) {
            appendUtf8(text, U'\u2460' + code);
        } else if (code == kFullBlock) {
            appendUtf8(text, U'\u2588');
        } else if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            appendUtf8(text, U'\u00B7');
        } else {
            appendUtf8(text, code);
        }
    }
    return text;
}

} // namespace trivex::sim
