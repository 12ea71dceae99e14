#include "icons/SvgIcon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace trivex::icons {

namespace {

QImage draw(QSvgRenderer& renderer, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

QImage render(const QString& path, int size) {
    QSvgRenderer renderer(path);
    return renderer.isValid() ? draw(renderer, QSize(size, size)) : QImage();
}

} // namespace trivex::icons
