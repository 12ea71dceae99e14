#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace trivex::test {

// Operates a window's controls, found by name, from a short script of steps separated by ';':
//   click NAME           a mouse click
//   text NAME=TEXT       a box or the text field of a list emptied, then TEXT typed key by key
//   put NAME=TEXT        the text of a box as the program sets it (as if read from the settings)
//   index NAME=N         the entry N of a list chosen
void act(QWidget* window, const QString& script);

// Real key events for any text, one a character, including characters that have no key of
// their own on a keyboard layout (as a compose sequence or an input method would produce).
void type(QWidget* widget, const QString& text);

// A mouse click on a button, as the operator gives it.
void click(QAbstractButton* button);

} // namespace trivex::test
