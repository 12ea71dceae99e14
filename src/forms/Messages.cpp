#include "forms/Messages.h"

#include "forms/Texts.h"

namespace trivex::forms {

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, texts::kApplicationTitle, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("message"));
    box.exec();
}

} // namespace trivex::forms
