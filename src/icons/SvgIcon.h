#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The programs' icons are drawn once, as SVG; every size a desktop asks for is rendered from it.
namespace trivex::icons {

// The sizes installed in the hicolor theme and kept in a window's icon.
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// The image of the SVG file at path (a resource such as ":/icons/trivex.svg"), size pixels square;
// a null image when it cannot be read.
QImage render(const QString& path, int size);

// An icon holding the SVG at every installed size.
QIcon icon(const QString& path);

} // namespace trivex::icons
