#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

namespace trivex::test {

// Answers every message box that a window shows while the watcher lives, as an operator
// pressing OK would, and keeps what each one said.
class MessageWatcher : public QObject {
    Q_OBJECT
public:
    struct Message {
        QString title;
        QString text;
        QString details; // the informative text
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        Qt::TextFormat format;
    };

    MessageWatcher();

    QList<Message> seen;

private:
    void look();
    QTimer timer_;
};

} // namespace trivex::test
