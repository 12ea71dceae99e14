#include "sim/ui/DisplayWidget.h"

#include <QPainter>

namespace trivex::sim {

namespace {

constexpr int kDot = 4; // one pixel of the display, in screen pixels
constexpr int kPitch = kDot + 1;
constexpr int kCellGap = 3;
constexpr int kMargin = 12;
constexpr int kCellWidth = 5 * kPitch + kCellGap;
constexpr int kCellHeight = 8 * kPitch + kCellGap;

struct Colours {
    QColor background;
    QColor lit;
    QColor unlit;
};

Colours coloursFor(ColourModel model, bool backlightOn) {
    if (model == ColourModel::BlueWhite) {
        return backlightOn ? Colours{QColor(20, 40, 220), QColor(240, 245, 255), QColor(40, 65, 235)}
                           : Colours{QColor(15, 20, 70), QColor(110, 115, 140), QColor(22, 28, 80)};
    }
    return backlightOn ? Colours{QColor(160, 200, 20), QColor(25, 40, 10), QColor(145, 185, 20)}
                       : Colours{QColor(95, 105, 60), QColor(25, 30, 15), QColor(88, 97, 56)};
}

} // namespace

DisplayWidget::DisplayWidget(const Lcd& display, QWidget* parent)
    : QWidget(parent)
    , display_(display) {
    blink_.setInterval(500);
    connect(&blink_, &QTimer::timeout, this, [this] {
        phase_ = !phase_;
        update();
    });
    blink_.start();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DisplayWidget::setColourModel(ColourModel model) {
    model_ = model;
    update();
}

QSize DisplayWidget::sizeHint() const {
    return {2 * kMargin + Lcd::kColumns * kCellWidth - kCellGap,
            2 * kMargin + Lcd::kRows * kCellHeight - kCellGap};
}

void DisplayWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool lightOn =
        display_.backlight == Backlight::On || (display_.backlight == Backlight::Blinking && phase_);
    const Colours colours = coloursFor(model_, lightOn);
    painter.fillRect(rect(), colours.background);
    for (int row = 0; row < Lcd::kRows; ++row) {
        for (int column = 0; column < Lcd::kColumns; ++column) {
            Glyph glyph = display_.glyphAt(row, column);
            const bool atCursor = row == display_.cursorRow && column == display_.cursorColumn;
            if (atCursor && display_.cursorStyle == CursorStyle::Underline) {
                glyph[7] = 0x1F;
            } else if (atCursor && display_.cursorStyle == CursorStyle::Blinking && phase_) {
                glyph.fill(0x1F);
            }
            const int x0 = kMargin + column * kCellWidth;
            const int y0 = kMargin + row * kCellHeight;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 5; ++x) {
                    const bool lit = glyph[static_cast<std::size_t>(y)] & (0x10 >> x);
                    painter.fillRect(x0 + x * kPitch, y0 + y * kPitch, kDot, kDot,
                                     lit ? colours.lit : colours.unlit);
                }
            }
        }
    }
}

} // namespace trivex::sim
