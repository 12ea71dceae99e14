#include "link/FrameText.h"

#include <QDateTime>
#include <QStringList>

namespace trivex::link {

QString directionWord(protocol::Direction direction) {
    return direction == protocol::Direction::ToBus ? QStringLiteral("controller") : QStringLiteral("module");
}

QString frameTime(const protocol::BusFrame& frame) {
    return QDateTime::fromMSecsSinceEpoch(frame.micros / 1000).toString(QStringLiteral("HH:mm:ss")) +
           QStringLiteral(".%1").arg(frame.micros % 1000000, 6, 10, QLatin1Char('0'));
}

QString frameGap(const protocol::BusFrame& frame) {
    return frame.gapMicros < 0 ? QString()
                               : QStringLiteral("+%1 ms").arg(frame.gapMicros / 1000.0, 0, 'f', 3);
}

QString frameFlags(const protocol::BusFrame& frame) {
    QStringList flags;
    for (const std::string& flag : frame.flags) {
        flags << QStringLiteral("[%1]").arg(QString::fromStdString(flag));
    }
    return flags.join(QLatin1Char(' '));
}

} // namespace trivex::link
