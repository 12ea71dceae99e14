#include "sim/runtime/TapPty.h"

#include <cerrno>
#include <unistd.h>

namespace trivex::sim {

TapPty::TapPty(QObject* parent)
    : QObject(parent) {
}

bool TapPty::open(const QString& linkPath, QString* error) {
    if (!link_.open(linkPath, error)) {
        return false;
    }
    readable_ = std::make_unique<QSocketNotifier>(link_.master(), QSocketNotifier::Read);
    connect(readable_.get(), &QSocketNotifier::activated, this, &TapPty::onReadable);
    writable_ = std::make_unique<QSocketNotifier>(link_.master(), QSocketNotifier::Write);
    writable_->setEnabled(false);
    connect(writable_.get(), &QSocketNotifier::activated, this, &TapPty::flush);
    return true;
}

void TapPty::pass(const std::string& bytes) {
    if (link_.master() < 0) {
        return;
    }
    if (waiting_.size() + bytes.size() > kWaitingLimit) {
        letGo_ += static_cast<qint64>(waiting_.size());
        waiting_.clear();
    }
    if (waiting_.empty()) {
        stalled_.start();
    }
    waiting_ += bytes;
    flush();
}

void TapPty::flush() {
    // Bytes held back since before anyone listened are no traffic of the listener's time.
    if (!waiting_.empty() && stalled_.elapsed() > kStaleMs) {
        letGo_ += static_cast<qint64>(waiting_.size());
        waiting_.clear();
    }
    while (!waiting_.empty()) {
        const ssize_t n = ::write(link_.master(), waiting_.data(), waiting_.size());
        if (n < 0 && errno != EAGAIN && errno != EINTR) { // the tap is broken: nothing will go
            letGo_ += static_cast<qint64>(waiting_.size());
            waiting_.clear();
        }
        if (n <= 0) {
            break;
        }
        waiting_.erase(0, static_cast<std::size_t>(n));
        stalled_.start();
    }
    writable_->setEnabled(!waiting_.empty());
}

void TapPty::onReadable() {
    char buffer[4096];
    const ssize_t n = ::read(link_.master(), buffer, sizeof buffer);
    if (n > 0) {
        taken_ += n;
    }
}

} // namespace trivex::sim
