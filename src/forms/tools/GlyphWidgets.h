#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

namespace trivex::forms {

using GlyphRows = std::array<std::uint8_t, 8>;

// The bit of a row byte that holds the pixel in column (0 to 4): bit 4 is the left pixel.
constexpr std::uint8_t pixelBit(int column) {
    return static_cast<std::uint8_t>(0x10 >> column);
}

// The 5 x 8 pixels of one custom character, to draw on: a click toggles a pixel, a drag paints
// every pixel it crosses as the first one became, the arrow keys move the framed pixel and
// Space toggles it. Each row is the low five bits of a byte, bit 4 the left pixel; the upper
// three bits have no pixel and are kept as they were.
class GlyphGrid : public QWidget {
    Q_OBJECT
public:
    explicit GlyphGrid(QWidget* parent = nullptr);

    const GlyphRows& rows() const { return rows_; }
    void setRows(const GlyphRows& rows);
    bool pixel(int column, int row) const { return rows_[static_cast<std::size_t>(row)] & pixelBit(column); }

    QSize sizeHint() const override;

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect pixelRect(int column, int row) const;
    // The pixel at a point of the widget, or none outside the grid.
    std::optional<QPoint> pixelAt(QPoint point) const;
    void setPixel(QPoint at, bool lit);

    GlyphRows rows_{};
    QPoint focus_{0, 0};
    bool painting_ = true; // what a drag makes of the pixels it crosses
};

// One character cell at the size and in the colours the virtual module draws its display.
class GlyphPreview : public QWidget {
    Q_OBJECT
public:
    explicit GlyphPreview(QWidget* parent = nullptr);
    void setRows(const GlyphRows& rows);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlyphRows rows_{};
};

} // namespace trivex::forms
