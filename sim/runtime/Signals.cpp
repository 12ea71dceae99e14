#include "sim/runtime/Signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trivex::sim {

namespace {

// What the handler needs, ready before it can run: it may only make async-signal-safe calls.
char linkPathC[4096];
char slavePathC[4096];
char lockPathC[4096];
int wakeUp[2] = {-1, -1};

void copy(char* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::strncpy(to, bytes.constData(), 4095);
}

// The program did not end within its time after a signal (its output blocked, say): it ends now,
// leaving nothing behind.
void onOverdue(int) {
    ::unlink(lockPathC);
    ::_exit(1);
}

void onSignal(int number) {
    char target[4096];
    const ssize_t length = ::readlink(linkPathC, target, sizeof target - 1);
    if (length > 0) {
        target[length] = '\0';
        if (std::strcmp(target, slavePathC) == 0) {
            ::unlink(linkPathC);
        }
    }
    // The lock file goes with the bus object on the normal way out; should that not come within
    // a second, the program ends regardless.
    ::alarm(1);
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
}

} // namespace

void endCleanlyOnSignals(const QString& linkPath, const QString& slavePath, const QString& lockPath) {
    copy(linkPathC, linkPath);
    copy(slavePathC, slavePath);
    copy(lockPathC, lockPath);
    if (wakeUp[0] < 0 && ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        while (::read(wakeUp[0], &byte, 1) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT}) {
        ::sigaction(number, &action, nullptr);
    }
    action.sa_handler = onOverdue;
    ::sigaction(SIGALRM, &action, nullptr);
}

} // namespace trivex::sim
