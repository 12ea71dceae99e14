#include "PtyPeer.h"

#include <QTimer>
#include <algorithm>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace trivex::test {

PtyPeer::PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        close();
        return;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    // Holding the slave open keeps the master readable while the program closes and reopens
    // its side; without it every read returns EIO in between.
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    ::tcgetattr(master_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master_, TCSANOW, &raw);
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyPeer::onReadable);
}

PtyPeer::~PtyPeer() {
    close();
}

void PtyPeer::close() {
    notifier_.reset();
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

void PtyPeer::onReadable() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        const std::size_t before = received_.size();
        received_.append(buffer, static_cast<std::size_t>(n));
        // Every trigger that ends in what was just read is answered, as a module answers each
        // frame, however many frames a busy machine lets pile up before this read.
        for (const Answer& answer : answers_) {
            const std::size_t size = answer.trigger.size();
            for (std::size_t end = std::max(before + 1, size); end <= received_.size(); ++end) {
                if (received_.compare(end - size, size, answer.trigger) == 0) {
                    const std::string reply = answer.reply;
                    QTimer::singleShot(answer.delayMs, Qt::PreciseTimer, this,
                                       [this, reply] { send(reply); });
                }
            }
        }
    }
}

void PtyPeer::send(const std::string& bytes) {
    if (master_ >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(master_, bytes.data(), bytes.size());
    }
}

void PtyPeer::answer(const std::string& trigger, const std::string& reply, int delayMs) {
    answers_.push_back({trigger, reply, delayMs});
}

void PtyPeer::setMinimumRead(int bytes) {
    termios settings{};
    ::tcgetattr(master_, &settings);
    settings.c_cc[VMIN] = static_cast<cc_t>(bytes);
    ::tcsetattr(master_, TCSANOW, &settings);
}

speed_t PtyPeer::lineSpeed() const {
    termios settings{};
    ::tcgetattr(master_, &settings);
    return ::cfgetospeed(&settings);
}

} // namespace trivex::test
