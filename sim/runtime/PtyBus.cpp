#include "sim/runtime/PtyBus.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace trivex::sim {

int bitsPerSecond(unsigned speed) {
    switch (speed) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

PtyBus::PtyBus(Bus& bus, int answerDelayMs, bool echo, QObject* parent)
    : BusPort(bus, answerDelayMs, echo, parent) {
}

PtyBus::~PtyBus() {
    notifier_.reset();
}

bool PtyBus::open(const QString& linkPath, QString* error) {
    if (!link_.open(linkPath, error)) {
        return false;
    }
    master_ = link_.master();
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyBus::onReadable);
    return true;
}

int PtyBus::lineSpeed() const {
    termios settings{};
    if (::tcgetattr(master_, &settings) != 0) {
        return 0;
    }
    return bitsPerSecond(::cfgetospeed(&settings));
}

void PtyBus::onReadable() {
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
        return;
    }
    take(std::string(buffer, static_cast<std::size_t>(n)));
}

void PtyBus::deliver(const std::string& bytes) {
    [[maybe_unused]] const ssize_t written = ::write(master_, bytes.data(), bytes.size());
}

} // namespace trivex::sim
