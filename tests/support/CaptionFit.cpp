#include "CaptionFit.h"

#include "forms/Button.h"
#include "forms/Frame.h"

#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <algorithm>

namespace trivex::test {

namespace {

QString overflow(const QWidget* control, const QString& text, const QRect& space, int flags = 0) {
    const QFontMetrics metrics(control->font());
    // Wrapped text: the widest word must fit across, the lines together must fit down.
    int width = metrics.horizontalAdvance(text);
    int height = metrics.height();
    if (flags & Qt::TextWordWrap) {
        width = 0;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            width = std::max(width, metrics.horizontalAdvance(word));
        }
        height = metrics.boundingRect(space, flags, text).height();
    }
    if (width <= space.width() && height <= space.height()) {
        return {};
    }
    return QStringLiteral("%1 \"%2\": needs %3x%4 px, has %5x%6 px")
        .arg(control->objectName(), text)
        .arg(width)
        .arg(height)
        .arg(space.width())
        .arg(space.height());
}

} // namespace

QStringList overflowingCaptions(const QWidget* window) {
    QStringList problems;
    for (const QWidget* control : window->findChildren<QWidget*>()) {
        QString problem;
        if (const auto* button = qobject_cast<const forms::Button*>(control)) {
            problem = overflow(button, button->text(), button->captionRect(), forms::Button::kCaptionFlags);
        } else if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = radio->text();
            const QRect space =
                radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
            problem = overflow(radio, radio->text(), space);
        } else if (const auto* label = qobject_cast<const QLabel*>(control);
                   label && !label->text().isEmpty() && label->wordWrap()) {
            // A wrapping label fits when its lines fit down.
            if (label->heightForWidth(label->width()) > label->height()) {
                problem = QStringLiteral("%1: needs %2 px down, has %3 px")
                              .arg(label->objectName())
                              .arg(label->heightForWidth(label->width()))
                              .arg(label->height());
            }
        } else if (label && !label->text().isEmpty()) {
            problem = overflow(label, label->text(), label->contentsRect());
        } else if (const auto* frame = qobject_cast<const forms::Frame*>(control)) {
            const QRect caption = frame->captionRect();
            if (caption.right() >= frame->width() - 4) {
                problem = QStringLiteral("%1 \"%2\": caption ends at %3 px, frame is %4 px wide")
                              .arg(frame->objectName(), frame->title())
                              .arg(caption.right())
                              .arg(frame->width());
            }
        }
        if (!problem.isEmpty()) {
            problems << problem;
        }
    }
    return problems;
}

} // namespace trivex::test
