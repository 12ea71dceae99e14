#pragma once

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

// The text with its first letter in upper case, for a reason that starts a sentence.
QString capitalised(const QString& text);

} // namespace trivex::forms
