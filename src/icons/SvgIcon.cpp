#include "icons/SvgIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace trivex::icons {

QImage render(const QString& path, int size) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QIcon icon(const QString& path) {
    QIcon all;
    for (int size : kSizes) {
        all.addPixmap(QPixmap::fromImage(render(path, size)));
    }
    return all;
}

} // namespace trivex::icons
