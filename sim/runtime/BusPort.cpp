#include "sim/runtime/BusPort.h"

#include "protocol/Bytes.h"

#include <cmath>
#include <utility>

namespace trivex::sim {

BusPort::BusPort(Bus& bus, int answerDelayMs, bool echo, QObject* parent)
    : QObject(parent)
    , bus_(bus)
    , answerDelayMs_(answerDelayMs)
    , echo_(echo) {
    next_.setSingleShot(true);
    next_.setTimerType(Qt::PreciseTimer);
    connect(&next_, &QTimer::timeout, this, &BusPort::giveDue);
    clock_.start();
    latency_.setTimerType(Qt::PreciseTimer);
    connect(&latency_, &QTimer::timeout, this, [this] {
        if (!held_.empty()) {
            deliver(std::exchange(held_, {}));
        }
    });
}

void BusPort::setLatency(int ms) {
    if (ms > 0) {
        latency_.start(ms);
    } else {
        latency_.stop();
    }
}

void BusPort::hand(const std::string& bytes) {
    if (latency_.isActive()) {
        held_ += bytes;
    } else {
        deliver(bytes);
    }
}

void BusPort::newClient() {
    due_.clear();
    held_.clear();
    next_.stop();
    handle(bus_.restartLine());
}

void BusPort::take(const std::string& bytes) {
    emit onLine(bytes);
    if (echo_) { // an adapter that hands back every byte it puts on the bus
        hand(bytes);
    }
    handle(bus_.feed(bytes, lineSpeed()));
}

void BusPort::handle(const FeedResult& result) {
    for (const std::string& line : result.log) {
        emit logged(QString::fromStdString(line));
    }
    for (int module : result.changedDisplays) {
        emit displayChanged(module);
    }
    if (result.stateChanged) {
        emit stateChanged();
    }
    // Replies to one frame go out at one moment: more than one collide on the line.
    std::vector<Reply> replies;
    for (const Reply& reply : result.replies) {
        if (!replies.empty() && replies.back().frame == reply.frame) {
            replies.back().bytes = collide({replies.back().bytes, reply.bytes});
        } else {
            replies.push_back(reply);
        }
    }
    for (const Reply& reply : replies) {
        const double wireMs = std::ceil(protocol::wireMs(reply.bytes.size(), reply.lineSpeed));
        due_.emplace(clock_.elapsed() + answerDelayMs_ + static_cast<qint64>(wireMs), reply);
    }
    if (!replies.empty()) {
        giveDue();
    }
}

void BusPort::giveDue() {
    const qint64 now = clock_.elapsed();
    while (!due_.empty() && due_.begin()->first <= now) {
        const Reply reply = due_.begin()->second;
        due_.erase(due_.begin());
        const int speed = lineSpeed();
        if (speed != reply.lineSpeed) {
            emit logged(QStringLiteral("  answer of module %1 sent at %2 bit/s, port set to %3 bit/s: lost")
                            .arg(bus_.modules()[static_cast<std::size_t>(reply.module)].settings.address)
                            .arg(reply.lineSpeed)
                            .arg(speed));
            continue;
        }
        emit onLine(reply.bytes);
        hand(reply.bytes);
    }
    if (!due_.empty()) {
        next_.start(static_cast<int>(due_.begin()->first - now));
    }
}

} // namespace trivex::sim
