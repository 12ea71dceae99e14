#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The programs' icons are drawn once, as SVG; every size a desktop asks for is rendered from it.
namespace trivex::icons {

// The sizes installed in the hicolor theme.
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};
// The sizes a window's icon holds: what window lists and task bars draw. The X server is handed
// every one of them when a window first shows, so the largest installed size stays out (it
// alone would be three quarters of the pixels).
inline constexpr int kWindowSizes[] = {16, 32, 48, 64, 128};

// The image of the SVG file at path (a resource such as ":/icons/trivex.svg"), size pixels square;
// a null image when it cannot be read.
QImage render(const QString& path, int size);

// A window icon holding the SVG at each of kWindowSizes.
QIcon icon(const QString& path);

} // namespace trivex::icons
