#include "forms/tools/GlyphWidgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <optional>

namespace trivex::forms {

namespace {

constexpr int kColumns = 5;
constexpr int kRows = 8;
constexpr int kPixel = 26; // screen pixels a glyph pixel, in the grid
constexpr int kGap = 2;

// The virtual module's display with its backlight on: dot size, pitch and colours.
constexpr int kDot = 4;
constexpr int kPitch = kDot + 1;
constexpr int kPreviewMargin = 12;
const QColor kBackground(20, 40, 220);
const QColor kLit(240, 245, 255);
const QColor kUnlit(40, 65, 235);

} // namespace

GlyphGrid::GlyphGrid(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::CrossCursor);
}

QSize GlyphGrid::sizeHint() const {
    return {kColumns * (kPixel + kGap) + kGap, kRows * (kPixel + kGap) + kGap};
}

void GlyphGrid::setRows(const GlyphRows& rows) {
    rows_ = rows;
    update();
    emit changed();
}

QRect GlyphGrid::pixelRect(int column, int row) const {
    return {kGap + column * (kPixel + kGap), kGap + row * (kPixel + kGap), kPixel, kPixel};
}

std::optional<QPoint> GlyphGrid::pixelAt(QPoint point) const {
    const int column = (point.x() - kGap) / (kPixel + kGap);
    const int row = (point.y() - kGap) / (kPixel + kGap);
    if (point.x() < kGap || point.y() < kGap || column >= kColumns || row >= kRows) {
        return std::nullopt;
    }
    return QPoint(column, row);
}

void GlyphGrid::setPixel(QPoint at, bool lit) {
    std::uint8_t& row = rows_[static_cast<std::size_t>(at.y())];
    const std::uint8_t bit = pixelBit(at.x());
    const std::uint8_t value = lit ? (row | bit) : (row & ~bit);
    if (value != row) {
        row = value;
        update();
        emit changed();
    }
}

void GlyphGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            painter.fillRect(pixelRect(column, row),
                             pixel(column, row) ? QColor(20, 20, 20) : QColor(250, 250, 250));
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(pixelRect(focus_.x(), focus_.y()).adjusted(1, 1, -1, -1));
    }
}

void GlyphGrid::mousePressEvent(QMouseEvent* event) {
    if (const auto at = pixelAt(event->position().toPoint()); at && event->button() == Qt::LeftButton) {
        focus_ = *at;
        painting_ = !pixel(at->x(), at->y());
        setPixel(*at, painting_);
        update();
    }
}

void GlyphGrid::mouseMoveEvent(QMouseEvent* event) {
    if (const auto at = pixelAt(event->position().toPoint()); at && (event->buttons() & Qt::LeftButton)) {
        focus_ = *at;
        setPixel(*at, painting_);
    }
}

void GlyphGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        focus_.setX((focus_.x() + kColumns - 1) % kColumns);
        break;
    case Qt::Key_Right:
        focus_.setX((focus_.x() + 1) % kColumns);
        break;
    case Qt::Key_Up:
        focus_.setY((focus_.y() + kRows - 1) % kRows);
        break;
    case Qt::Key_Down:
        focus_.setY((focus_.y() + 1) % kRows);
        break;
    case Qt::Key_Space:
        setPixel(focus_, !pixel(focus_.x(), focus_.y()));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

GlyphPreview::GlyphPreview(QWidget* parent)
    : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize GlyphPreview::sizeHint() const {
    return {2 * kPreviewMargin + kColumns * kPitch - 1, 2 * kPreviewMargin + kRows * kPitch - 1};
}

void GlyphPreview::setRows(const GlyphRows& rows) {
    rows_ = rows;
    update();
}

void GlyphPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const bool lit = rows_[static_cast<std::size_t>(row)] & pixelBit(column);
            painter.fillRect(kPreviewMargin + column * kPitch, kPreviewMargin + row * kPitch, kDot, kDot,
                             lit ? kLit : kUnlit);
        }
    }
}

} // namespace trivex::forms
