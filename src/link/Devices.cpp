#include "link/Devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <future>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace trivex::link {

namespace {

DeviceSource& source() {
    static DeviceSource current = systemDevices;
    return current;
}

} // namespace

// Plain character tests: a reading ahead runs this on a thread of its own.
std::optional<int> onBoardIndex(const QString& path) {
    const QLatin1String prefix("/dev/ttyS");
    const QStringView digits = QStringView(path).mid(std::min<qsizetype>(prefix.size(), path.size()));
    if (!path.startsWith(prefix) || digits.isEmpty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    return digits.toInt();
}

// An on-board port that the kernel found no UART for reports type 0.
bool hasNoUart(const QString& path) {
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(QFileInfo(path).fileName()));
    return onBoardIndex(path) && type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0";
}

QString SerialDevice::summary() const {
    QStringList parts;
    for (const QString& part : {manufacturer, description}) {
        if (!part.isEmpty() && !parts.join(QLatin1Char(' ')).contains(part)) {
            parts << part;
        }
    }
    QString text = parts.join(QLatin1Char(' '));
    if (!serialNumber.isEmpty()) {
        text +=
            (text.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("serial ") + serialNumber;
    }
    return text;
}

namespace {

// The USB socket a tty hangs off, as the kernel names the USB device in sysfs ("1-1.2", from
// .../usb1/1-1/1-1.2/1-1.2:1.0/ttyUSB0); empty for a device that is not on USB.
QString usbSocketOf(const QString& path) {
    const QString device =
        QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(QFileInfo(path).fileName()))
            .canonicalFilePath();
    QString socket;
    for (const QString& part : device.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const qsizetype dash = part.indexOf(QLatin1Char('-'));
        const bool usbDevice = dash > 0 && std::all_of(part.begin(), part.end(), [](QChar c) {
                                   return (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
                               });
        if (usbDevice) {
            socket = part;
        }
    }
    return socket;
}

std::vector<SerialDevice> readDevices() {
    // The stable names of the devices, found by following the links of /dev/serial/by-id.
    std::map<QString, QString> stable;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        stable[link.canonicalFilePath()] = link.absoluteFilePath();
    }
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.path = info.systemLocation();
        if (hasNoUart(device.path)) {
            continue;
        }
        const auto found = stable.find(QFileInfo(device.path).canonicalFilePath());
        device.stablePath = found == stable.end() ? QString() : found->second;
        device.description = info.description();
        device.manufacturer = info.manufacturer();
        device.serialNumber = info.serialNumber();
        device.usbPath = usbSocketOf(device.path);
        device.vendorId = info.hasVendorIdentifier() ? info.vendorIdentifier() : 0;
        device.productId = info.hasProductIdentifier() ? info.productIdentifier() : 0;
        devices.push_back(device);
    }
    return devices;
}

// A reading walks all of /sys/class/tty (some 15 ms where the kernel has 64 consoles), and the
// windows ask on every refresh of their state. The devices cannot change without a node in /dev,
// a link in /dev/serial/by-id or an entry of udev's database coming or going, so the last
// reading holds while those three folders are as they were.
struct Readings {
    using Key = std::vector<std::array<long long, 3>>;
    std::mutex guard;
    Key key;
    std::vector<SerialDevice> devices;
    std::future<void> ahead;

    static Key currentKey() {
        Key key;
        for (const char* folder : {"/dev", "/dev/serial/by-id", "/run/udev/data"}) {
            struct stat info {};
            if (::stat(folder, &info) != 0) {
                key.push_back({-1, 0, 0});
                continue;
            }
            key.push_back({static_cast<long long>(info.st_ino), static_cast<long long>(info.st_mtim.tv_sec),
                           static_cast<long long>(info.st_mtim.tv_nsec)});
        }
        return key;
    }

    std::vector<SerialDevice> current() {
        Key now = currentKey();
        const std::lock_guard<std::mutex> lock(guard);
        if (now != key) {
            devices = readDevices();
            key = std::move(now);
        }
        return devices;
    }

    ~Readings() {
        if (ahead.valid()) {
            ahead.wait(); // a reading started ahead ends before what it writes to goes
        }
    }
};

Readings& readings() {
    static Readings all;
    return all;
}

} // namespace

std::vector<SerialDevice> systemDevices() {
    return readings().current();
}

void readDevicesAhead() {
    Readings& all = readings();
    if (!all.ahead.valid()) {
        all.ahead = std::async(std::launch::async, [&all] { all.current(); });
    }
}

void setDeviceSource(DeviceSource current) {
    source() = std::move(current);
}

std::vector<SerialDevice> presentDevices() {
    return source()();
}

QString defaultDevicePath(int commPort) {
    return QStringLiteral("/dev/ttyS%1").arg(commPort - 1);
}

} // namespace trivex::link
