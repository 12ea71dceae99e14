#pragma once

#include "protocol/Bytes.h"

#include <QString>
#include <QtGlobal>

namespace trivex::link {

// One thing that happened on the serial port, as the traffic tap hands it on.
struct TrafficEntry {
    enum class Kind {
        Sent,     // bytes written to the bus
        Received, // a block of bytes read from the bus
        Echo,     // bytes read that were the adapter's echo of what was sent, taken out
        Event,    // the port opened, closed, was lost or came back
    };
    qint64 nanoseconds = 0; // monotonic clock
    Kind kind = Kind::Event;
    protocol::Bytes bytes;
    QString event;           // for Kind::Event: what happened, in words
    bool unexpected = false; // received while no exchange was waiting for a reply
    int replyLength = 2;     // the receive threshold then: 3 while an input status reply is awaited
};

} // namespace trivex::link
