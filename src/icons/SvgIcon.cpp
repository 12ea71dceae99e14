#include "icons/SvgIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace trivex::icons {

namespace {

QImage draw(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

QImage render(const QString& path, int size) {
    QSvgRenderer renderer(path);
    return renderer.isValid() ? draw(renderer, size) : QImage();
}

QIcon icon(const QString& path) {
    // Read once, drawn at every size: reading the SVG costs more than drawing it.
    QSvgRenderer renderer(path);
    QIcon all;
    for (int size : kWindowSizes) {
        all.addPixmap(QPixmap::fromImage(renderer.isValid() ? draw(renderer, size) : QImage()));
    }
    return all;
}

} // namespace trivex::icons
