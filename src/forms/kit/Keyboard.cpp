#include "forms/kit/Keyboard.h"

#include <QKeySequence>
#include <QShortcut>

namespace trivex::forms {

void closeOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

} // namespace trivex::forms
