#include "icons/SvgIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>

namespace trivex::icons {

namespace {

QImage draw(QSvgRenderer& renderer, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// Scalable: it names no sizes of its own, so that the window system asks for those it uses.
class SvgEngine : public QIconEngine {
public:
    explicit SvgEngine(const QString& path)
        : renderer_(std::make_shared<QSvgRenderer>(path)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        renderer_->render(painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        return QPixmap::fromImage(draw(*renderer_, size));
    }
    QIconEngine* clone() const override { return new SvgEngine(*this); }
    QString key() const override { return QStringLiteral("trivex-svg"); }
    bool isNull() override { return !renderer_->isValid(); }

private:
    std::shared_ptr<QSvgRenderer> renderer_; // shared by the copies Qt makes of an icon
};

} // namespace

QImage render(const QString& path, int size) {
    QSvgRenderer renderer(path);
    return renderer.isValid() ? draw(renderer, QSize(size, size)) : QImage();
}

QIcon icon(const QString& path) {
    return QIcon(new SvgEngine(path));
}

} // namespace trivex::icons
