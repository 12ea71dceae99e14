#include "sim/runtime/BusPort.h"

#include "protocol/Bytes.h"

#include <QTimer>
#include <cmath>

namespace trivex::sim {

BusPort::BusPort(Bus& bus, int answerDelayMs, bool echo, QObject* parent)
    : QObject(parent)
    , bus_(bus)
    , answerDelayMs_(answerDelayMs)
    , echo_(echo) {
}

void BusPort::take(const std::string& bytes) {
    if (echo_) { // an adapter that hands back every byte it puts on the bus
        deliver(bytes);
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
        const int wireMs = static_cast<int>(std::ceil(protocol::wireMs(reply.bytes.size(), reply.lineSpeed)));
        QTimer::singleShot(answerDelayMs_ + wireMs, Qt::PreciseTimer, this, [this, reply] {
            const int speed = lineSpeed();
            if (speed != reply.lineSpeed) {
                emit logged(
                    QStringLiteral("  answer of module %1 sent at %2 bit/s, port set to %3 bit/s: lost")
                        .arg(bus_.modules()[static_cast<std::size_t>(reply.module)].settings.address)
                        .arg(reply.lineSpeed)
                        .arg(speed));
                return;
            }
            deliver(reply.bytes);
        });
    }
}

} // namespace trivex::sim
