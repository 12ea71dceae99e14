#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace trivex::test {

// Operates a window's controls, found by name, from a short script of steps separated by ';':
//   click NAME           a mouse click
//   text NAME=TEXT       the text of a box, or the typed text of a list
//   index NAME=N         the entry N of a list chosen
void act(QWidget* window, const QString& script);

// A mouse click on a button, as the operator gives it.
void click(QAbstractButton* button);

} // namespace trivex::test
