#pragma once

#include <QIcon>
#include <QString>

namespace trivex::icons {

// The sizes rendered from the SVG icons and installed in the hicolor theme.
inline constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

// A program's window icon ("trivex", "trivex-sim") from its images rendered at build time, at
// every size there is; no SVG is read or drawn.
QIcon programIcon(const QString& name);

} // namespace trivex::icons
