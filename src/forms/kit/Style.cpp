#include "forms/kit/Style.h"

#include "forms/kit/ListBox.h"
#include "icons/Icon.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLayout>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QWidget>
#include <algorithm>

namespace trivex::forms {

namespace {

// 8.25 pt and 12 pt at 96 dots per inch.
constexpr int kDialogPixels = 11;
constexpr int kLargePixels = 16;

// The first of the families that this machine has, alone: a family it does not have sends Qt
// through fontconfig's whole list of substitutes for it (some 0.7 ms each time), to find most
// often the next one named here. With none of them present, all are given, as they stand.
QStringList presentFamilies(const QStringList& families) {
    const QStringList present = QFontDatabase::families();
    for (const QString& family : families) {
        if (present.contains(family, Qt::CaseInsensitive)) {
            return {family};
        }
    }
    return families;
}

QFont font(const QStringList& families, int pixels, bool bold) {
    QFont f;
    f.setFamilies(presentFamilies(families));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

const QStringList kArialLike{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                             QStringLiteral("Arimo"), QStringLiteral("Helvetica")};
const QStringList kTahomaLike{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                              QStringLiteral("DejaVu Sans")};

// Fusion, with the gap between an option's circle and its caption of the classic dialogs the
// layouts were drawn in: 17 pixels from the left edge to the caption.
class LayoutStyle : public QProxyStyle {
public:
    LayoutStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_RadioButtonLabelSpacing) {
            return 3;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    // The entry of a menu bar that the keyboard is on is drawn as selected: Fusion draws an
    // entry selected only while its menu is open.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuBarItem && (option->state & State_Selected) && widget && widget->hasFocus()) {
            auto selected = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            selected.state |= State_Sunken;
            QProxyStyle::drawControl(element, &selected, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    // Alt alone takes the keyboard to the menu bar, as in the dialogs the layouts come from, so
    // that its entries are reached without a mnemonic in their captions.
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

QFont dialogFont() {
    return font(kArialLike, kDialogPixels, false);
}
QFont lineBoxFont() {
    return font(kArialLike, kDialogPixels, true);
}
QFont statusBarFont() {
    return font(kTahomaLike, kDialogPixels, false);
}
QFont inputStateFont() {
    return font(kTahomaLike, kLargePixels, true);
}

QIcon applicationIcon() {
    static const QIcon icon = icons::programIcon(QStringLiteral("trivex"));
    return icon;
}

void applyApplicationStyle(QApplication& app) {
    installListBoxAccessibility();
    app.setStyle(new LayoutStyle);
    app.setFont(dialogFont());
    app.setWindowIcon(applicationIcon());
}

namespace {

// Centres its window on the screen the first time it is shown, unless it was placed before,
// then goes.
class CentreOnFirstShow : public QObject {
public:
    explicit CentreOnFirstShow(QWidget* window)
        : QObject(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* window = static_cast<QWidget*>(watched);
            const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
            if (screen && !window->testAttribute(Qt::WA_Moved)) {
                QRect frame = window->frameGeometry();
                frame.moveCenter(screen->availableGeometry().center());
                window->move(frame.topLeft());
            }
            window->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void makeFixedWindow(QWidget* window, QSize size) {
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    if (size.isValid()) {
        window->setFixedSize(size);
    } else if (window->layout()) {
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
    window->setWindowIcon(applicationIcon());
    new CentreOnFirstShow(window);
}

void placeBeside(QWidget* window, const QWidget* anchor) {
    constexpr int kGap = 8;
    const QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect room = screen->availableGeometry();
    // The window manager has not framed the new window yet; it will frame it as the anchor.
    const QRect anchorFrame = anchor->frameGeometry();
    const QMargins frame(
        anchor->geometry().left() - anchorFrame.left(), anchor->geometry().top() - anchorFrame.top(),
        anchorFrame.right() - anchor->geometry().right(), anchorFrame.bottom() - anchor->geometry().bottom());
    // A window larger than the screen's room is shrunk to it (one of a fixed size stays as it is).
    const QSize fits =
        window->size().boundedTo(room.size().shrunkBy(frame)).expandedTo(window->minimumSize());
    if (fits != window->size()) {
        window->resize(fits);
    }
    QRect placed(QPoint(), window->size().grownBy(frame));
    if (anchorFrame.right() + kGap + placed.width() <= room.right()) {
        placed.moveLeft(anchorFrame.right() + kGap + 1);
    } else if (anchorFrame.left() - kGap - placed.width() >= room.left()) {
        placed.moveRight(anchorFrame.left() - kGap - 1);
    } else {
        placed.moveCenter(room.center());
    }
    if (placed.center() != room.center()) {
        // Beside the anchor, its title bar level with the anchor's, yet wholly on the screen.
        placed.moveTop(std::clamp(anchorFrame.top(), room.top(),
                                  std::max(room.top(), room.bottom() - placed.height() + 1)));
    }
    placed.moveLeft(
        std::clamp(placed.left(), room.left(), std::max(room.left(), room.right() - placed.width() + 1)));
    // Before the first show a window's position is that of its frame.
    window->move(placed.topLeft());
}

} // namespace trivex::forms
