#pragma once

#include <QIcon>
#include <QString>

namespace trivex::icons {

// The sizes rendered from the SVG icons and installed in the hicolor theme.
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// The sizes a window icon is given: what window managers and task bars draw. Each one is decoded
// at start-up and sent to the X server, so the launcher sizes stay with the installed icons.
inline constexpr int kWindowSizes[] = {16, 32, 48, 64};

// A program's window icon ("trivex", "trivex-sim") from its images rendered at build time; no
// SVG is read or drawn.
QIcon programIcon(const QString& name);

} // namespace trivex::icons
