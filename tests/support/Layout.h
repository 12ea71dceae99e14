#pragma once

#include "forms/kit/Controls.h"

#include <QStringList>
#include <vector>

class QWidget;

namespace trivex::test {

// Everything in window that is not as its layout table draws it, one line each; empty when all
// is: a control missing, or placed or sized otherwise (twips to pixels, in its container; a
// wrapping label may be taller), a caption other than the table's, a caption, label or frame
// title that does not fit its control, and Tab not visiting the enabled controls in the table's
// order (an option group is one stop, entered at its first option). Takes the keyboard focus.
QStringList layoutProblems(QWidget* window, const std::vector<forms::ControlSpec>& table);

} // namespace trivex::test
