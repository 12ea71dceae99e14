#include "link/Latency.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace trivex::link {

namespace {

// The device's folder in sysfs: /sys/class/tty/NAME/device, NAME its kernel name.
QString sysfsDevice(const QString& devicePath) {
    const QString name = QFileInfo(QFileInfo(devicePath).canonicalFilePath()).fileName();
    return name.isEmpty() ? QString() : QStringLiteral("/sys/class/tty/%1/device").arg(name);
}

} // namespace

bool isUsbSerial(const QString& devicePath) {
    const QString device = sysfsDevice(devicePath);
    return !device.isEmpty() && QFileInfo(device).canonicalFilePath().contains(QLatin1String("/usb"));
}

std::optional<int> adapterLatencyMs(const QString& devicePath) {
    QFile timer(sysfsDevice(devicePath) + QStringLiteral("/latency_timer"));
    if (sysfsDevice(devicePath).isEmpty() || !timer.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    bool ok = false;
    const int ms = timer.readAll().trimmed().toInt(&ok);
    return ok && ms >= 0 ? std::optional<int>(ms) : std::nullopt;
}

LowLatency requestLowLatency(int fd) {
    LowLatency outcome;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        outcome.refused = QString::fromLocal8Bit(std::strerror(errno));
        return outcome;
    }
    outcome.asked = true;
    outcome.wasOn = (serial.flags & ASYNC_LOW_LATENCY) != 0;
    if (!outcome.wasOn) {
        serial.flags |= ASYNC_LOW_LATENCY;
        if (::ioctl(fd, TIOCSSERIAL, &serial) != 0) {
            outcome.asked = false;
            outcome.refused = QString::fromLocal8Bit(std::strerror(errno));
        }
    }
    return outcome;
}

void restoreLatency(int fd, const LowLatency& asked) {
    serial_struct serial{};
    if (!asked.asked || asked.wasOn || ::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        return;
    }
    serial.flags &= ~ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

} // namespace trivex::link
