#include "Layout.h"

#include "forms/kit/Button.h"
#include "forms/kit/Frame.h"
#include "forms/kit/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <algorithm>
#include <set>

namespace trivex::test {

namespace {

QString size(const QSize& size) {
    return QStringLiteral("%1x%2 px").arg(size.width()).arg(size.height());
}

QString overflow(const QWidget* control, const QString& text, const QRect& space, int flags = 0) {
    const QFontMetrics metrics(control->font());
    // Wrapped text: the widest word must fit across, the lines together must fit down.
    QSize needed(metrics.horizontalAdvance(text), metrics.height());
    if (flags & Qt::TextWordWrap) {
        needed.setWidth(0);
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            needed.setWidth(std::max(needed.width(), metrics.horizontalAdvance(word)));
        }
        needed.setHeight(metrics.boundingRect(space, flags, text).height());
    }
    if (needed.width() <= space.width() && needed.height() <= space.height()) {
        return {};
    }
    return QStringLiteral("%1 \"%2\": needs %3, has %4")
        .arg(control->objectName(), text, size(needed), size(space.size()));
}

// Every caption, label or frame title under window that is wider or taller than the space its
// control gives it.
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
        } else if (const auto* label = qobject_cast<const QLabel*>(control); label && label->wordWrap()) {
            // A wrapping label fits when its lines fit down.
            const QSize needed(label->width(), label->heightForWidth(label->width()));
            if (needed.height() > label->height()) {
                problem = QStringLiteral("%1: needs %2, has %3")
                              .arg(label->objectName(), size(needed), size(label->size()));
            }
        } else if (label && !label->text().isEmpty()) {
            problem = overflow(label, label->text(), label->contentsRect());
        } else if (const auto* frame = qobject_cast<const forms::Frame*>(control)) {
            problem =
                overflow(frame, frame->title(),
                         QRect(0, 0, frame->width() - 4 - frame->captionRect().left(), frame->height()));
        }
        if (!problem.isEmpty()) {
            problems << problem;
        }
    }
    return problems;
}

QString captionOf(const QWidget* control) {
    if (const auto* frame = qobject_cast<const forms::Frame*>(control)) {
        return frame->title();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    const auto* label = qobject_cast<const QLabel*>(control);
    return label ? label->text() : QString();
}

// The names Tab stops at, in the table's order, the first again at the end.
QStringList tabStops(QWidget* window, std::vector<forms::ControlSpec> table) {
    std::stable_sort(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.tab < b.tab; });
    QStringList stops;
    std::set<QString> groups; // containers of the option groups seen
    for (const forms::ControlSpec& spec : table) {
        const auto* control = window->findChild<QWidget*>(spec.name);
        if (!control || !control->isEnabled() || spec.kind == forms::ControlKind::Frame ||
            spec.kind == forms::ControlKind::Label) {
            continue;
        }
        if (spec.kind == forms::ControlKind::Option && !groups.insert(spec.container).second) {
            continue; // the group is one stop, at its first option
        }
        stops << spec.name;
    }
    if (!stops.isEmpty()) {
        stops << stops.first();
    }
    return stops;
}

} // namespace

QStringList layoutProblems(QWidget* window, const std::vector<forms::ControlSpec>& table) {
    QStringList problems = overflowingCaptions(window);
    for (const forms::ControlSpec& spec : table) {
        const QWidget* control = window->findChild<QWidget*>(spec.name);
        if (!control) {
            problems << spec.name + ": missing";
            continue;
        }
        const QRect drawn = forms::twipsRect(spec.left, spec.top, spec.width, spec.height);
        const auto* label = qobject_cast<const QLabel*>(control);
        QRect placed = control->geometry();
        if (label && label->wordWrap() && placed.height() >= drawn.height() / 2) {
            placed.setHeight(drawn.height()); // it may grow for a long text
        }
        if (placed != drawn) {
            problems << QStringLiteral("%1: at %2,%3 %4, drawn at %5,%6 %7")
                            .arg(spec.name)
                            .arg(placed.x())
                            .arg(placed.y())
                            .arg(size(placed.size()))
                            .arg(drawn.x())
                            .arg(drawn.y())
                            .arg(size(drawn.size()));
        }
        if (!spec.caption.isEmpty() && captionOf(control) != spec.caption) {
            problems << QStringLiteral("%1: caption \"%2\", drawn \"%3\"")
                            .arg(spec.name, captionOf(control), spec.caption);
        }
    }
    const QStringList expected = tabStops(window, table);
    if (expected.isEmpty()) {
        return problems;
    }
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) {
        return problems << QStringLiteral("the window cannot take the keyboard");
    }
    window->findChild<QWidget*>(expected.first())->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        // An editable list hands its focus to its text field; name the list.
        visited << (focus && qobject_cast<QComboBox*>(focus->parentWidget()) ? focus->parentWidget() : focus)
                       ->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    if (visited != expected) {
        problems << QStringLiteral("Tab visits %1; drawn: %2").arg(visited.join(' '), expected.join(' '));
    }
    return problems;
}

} // namespace trivex::test
