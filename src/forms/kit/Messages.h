#pragma once

#include "session/PortSession.h"

#include <QMessageBox>
#include <QString>

namespace trivex::forms {

// A message box as the program shows them: the application title, the given icon, OK only, the
// text shown as plain text (operator text never becomes markup). The details, when given, are
// the box's informative text.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                 const QString& details = QString());

// While the program ends on a signal nobody is there to press OK: messages then go to stderr.
void setMessagesToStderr(bool toStderr);

// A tooltip that shows text as it is, never as markup.
QString plainToolTip(const QString& text);

// "Port Not Open" from window, with the device and why it is closed.
void tellPortNotOpen(QWidget* window, const session::PortSession& session);

using session::capitalised;

} // namespace trivex::forms
