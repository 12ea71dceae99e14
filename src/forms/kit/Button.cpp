#include "forms/kit/Button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace trivex::forms {

Button::Button(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
}

QRect Button::captionRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

void Button::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    painter.drawItemText(captionRect(), kCaptionFlags, palette(), isEnabled(), text(), QPalette::ButtonText);
}

} // namespace trivex::forms
