#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The programs' icons are drawn once, as SVG; every size a desktop asks for is rendered from it.
namespace trivex::icons {

// The sizes installed in the hicolor theme.
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// The image of the SVG file at path (a resource such as ":/icons/trivex.svg"), size pixels square;
// a null image when it cannot be read.
QImage render(const QString& path, int size);

// A window icon drawn from the SVG at whatever size is asked for, when it is asked for: the file
// is read once, and no size is drawn that nothing shows.
QIcon icon(const QString& path);

} // namespace trivex::icons
