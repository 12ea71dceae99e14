#include "forms/Style.h"

#include "forms/ListBox.h"
#include "icons/SvgIcon.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QWidget>

namespace trivex::forms {

namespace {

// 8.25 pt and 12 pt at 96 dots per inch.
constexpr int kDialogPixels = 11;
constexpr int kLargePixels = 16;

QFont font(const QStringList& families, int pixels, bool bold) {
    QFont f;
    f.setFamilies(families);
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
    static const QIcon icon = icons::icon(QStringLiteral(":/icons/trivex.svg"));
    return icon;
}

void applyApplicationStyle(QApplication& app) {
    installListBoxAccessibility();
    app.setStyle(new LayoutStyle);
    app.setFont(dialogFont());
    app.setWindowIcon(applicationIcon());
}

namespace {

// Centres its window on the screen the first time it is shown, then goes.
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
            if (screen) {
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

} // namespace trivex::forms
