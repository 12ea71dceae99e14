#include "forms/Style.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
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

QImage applicationIconImage() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Module board and bezel.
    painter.fillRect(QRect(1, 5, 30, 22), QColor(20, 90, 40));
    painter.fillRect(QRect(3, 8, 26, 16), QColor(30, 30, 30));
    // Glass with two lines of characters.
    painter.fillRect(QRect(4, 9, 24, 14), kBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kWhite);
    for (int line = 0; line < 2; ++line) {
        for (int cell = 0; cell < 5; ++cell) {
            const int height = (cell * 7 + line * 3) % 4 == 0 ? 2 : 4;
            painter.drawRect(QRect(6 + cell * 4, 11 + line * 6 + (4 - height), 3, height));
        }
    }
    // Connector pins.
    painter.fillRect(QRect(8, 3, 16, 2), QColor(200, 170, 60));
    painter.end();
    return image;
}

QIcon applicationIcon() {
    return QIcon(QPixmap::fromImage(applicationIconImage()));
}

void applyApplicationStyle(QApplication& app) {
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
