#pragma once

#include <QString>

class QWidget;

namespace trivex::test {

// Operates a window's controls, found by name, from a short script of steps separated by ';':
//   click NAME           a mouse click
//   text NAME=TEXT       the text of a box, or the typed text of a list
//   index NAME=N         the entry N of a list chosen
void act(QWidget* window, const QString& script);

} // namespace trivex::test
