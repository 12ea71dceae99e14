#include "ctl/Stop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace trivex::ctl {

namespace {

volatile std::sig_atomic_t caught = 0;
int wakePipe[2] = {-1, -1};

void onSignal(int number) {
    if (caught == 0) {
        caught = number;
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
}

const char* signalName(int number) {
    switch (number) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "SIGHUP";
    }
}

} // namespace

StopRequests& StopRequests::instance() {
    static StopRequests requests;
    return requests;
}

void StopRequests::watchSignals() {
    if (wakePipe[0] >= 0 || ::pipe(wakePipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakePipe[0], &byte, 1);
        emit stopRequested();
    });
    // Without SA_RESTART, so that a prompt's wait for standard input ends at a signal.
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(number, &action, nullptr);
    }
}

bool StopRequests::requested() const {
    return caught != 0 || !reason_.isEmpty();
}

QString StopRequests::reason() const {
    if (caught != 0) {
        return QStringLiteral("%1 came").arg(QLatin1String(signalName(caught)));
    }
    return reason_;
}

void StopRequests::request(const QString& reason) {
    if (!requested()) {
        reason_ = reason;
        emit stopRequested();
    }
}

bool prompt(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
    // Read by hand rather than through the C++ streams, which go on waiting after a signal.
    for (;;) {
        if (StopRequests::instance().requested()) {
            return false;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        char byte = 0;
        const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (byte == '\n') {
            return true;
        }
    }
    StopRequests::instance().request(QStringLiteral("standard input ended at a prompt"));
    return false;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QObject::connect(&StopRequests::instance(), &StopRequests::stopRequested, &loop, &QEventLoop::quit);
    if (!StopRequests::instance().requested()) {
        loop.exec();
    }
}

} // namespace trivex::ctl
