#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QSize>

class QWidget;
class QApplication;

namespace trivex::forms {

// The fonts the layouts were drawn for, in families with the same metrics where the originals
// are missing; sizes in pixels so that captions fit their twips-sized controls at any DPI.
QFont dialogFont();     // the dialog font, 8.25 pt
QFont lineBoxFont();    // Arial 8.25 pt bold
QFont statusBarFont();  // Tahoma 8.25 pt
QFont inputStateFont(); // Tahoma 12 pt bold

inline const QColor kBlue{0, 0, 255};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGreen{0, 255, 0};
inline const QColor kRed{255, 0, 0};

// The program's icon, a 16 x 2 character module, at the sizes a window icon is drawn.
QIcon applicationIcon();

// Style, font and palette for the whole program, set once before any window exists.
void applyApplicationStyle(QApplication& app);

// A window of fixed size: single border, no minimize or maximize button, the program's icon,
// centred on its screen when it is first shown. Without a size, the window takes the size its
// layout asks for and keeps following it.
void makeFixedWindow(QWidget* window, QSize size = QSize());

// Places a window wholly on the screen of anchor: beside it, to the right or else to the left,
// where there is room, else centred; a window larger than the screen's room is shrunk to it. To
// be called before the window is first shown.
void placeBeside(QWidget* window, const QWidget* anchor);

} // namespace trivex::forms
