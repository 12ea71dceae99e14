#pragma once

#include <QImage>
#include <QString>

// The programs' icons are drawn once, as SVG; every installed size is rendered from it.
namespace trivex::icons {

// The image of the SVG file at path, size pixels square; a null image when it cannot be read.
QImage render(const QString& path, int size);

} // namespace trivex::icons
