#include "MessageWatcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace trivex::test {

MessageWatcher::MessageWatcher() {
    connect(&timer_, &QTimer::timeout, this, &MessageWatcher::look);
    timer_.start(5);
}

void MessageWatcher::look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        return;
    }
    seen.append({box->windowTitle(), box->text(), box->informativeText(), box->icon(), box->standardButtons(),
                 box->textFormat()});
    box->button(QMessageBox::Ok)->click();
}

} // namespace trivex::test
