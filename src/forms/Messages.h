#pragma once

#include <QMessageBox>
#include <QString>

namespace trivex::forms {

// A message box as the program shows them: the application title, the given icon, OK only.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text);

} // namespace trivex::forms
