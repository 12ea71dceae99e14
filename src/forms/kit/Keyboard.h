#pragma once

#include <QWidget>

// Keys that every window of the program answers to alike.
namespace trivex::forms {

// Escape closes the window as its close button does (a window that stores its settings on
// close stores them).
void closeOnEscape(QWidget* window);

} // namespace trivex::forms
