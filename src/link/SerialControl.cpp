#include "link/SerialControl.h"

#include "link/PortAccess.h"
#include "link/PortMap.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace trivex::link {

SerialControl::SerialControl(QObject* parent)
    : QObject(parent)
    , resolver_([](int number) {
        return PortChoice{number, defaultDevicePath(number), {}, {}};
    }) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialControl::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialControl::onError);
    // A lost device is looked for when its folder changes, and once a second in any case (a
    // folder such as /dev/serial/by-id comes and goes with the devices in it).
    retry_.setInterval(kRetryInterval);
    connect(&retry_, &QTimer::timeout, this, &SerialControl::tryReopen);
    connect(&watch_, &QFileSystemWatcher::directoryChanged, this, &SerialControl::tryReopen);
    connect(&net_, &NetworkPort::ready, this, &SerialControl::onNetworkReady);
    connect(&net_, &NetworkPort::readyRead, this, &SerialControl::onReadyRead);
    connect(&net_, &NetworkPort::failed, this, &SerialControl::onNetworkFailed);
}

SerialControl::~SerialControl() {
    closeDevice();
}

void SerialControl::setDeviceResolver(DeviceResolver resolver) {
    resolver_ = std::move(resolver);
}

void SerialControl::setCommPort(int number) {
    commPort_ = number > 0 ? number : 0;
}

bool SerialControl::setSettings(const QString& text) {
    settingsText_ = text;
    settings_ = parseLineSettings(text);
    return settings_.has_value();
}

QString SerialControl::devicePath() const {
    return commPort_ > 0 ? resolver_(commPort_).device : QString();
}

void SerialControl::setRThreshold(int count) {
    threshold_ = count;
    if (count > 0 && static_cast<int>(received_.size()) >= count) {
        QMetaObject::invokeMethod(this, &SerialControl::raiseIfEnough, Qt::QueuedConnection);
    }
}

bool SerialControl::PortOpen() const {
    return (network_ ? net_.isReady() : port_.isOpen()) && !lost_;
}

bool SerialControl::setPortOpen(bool open) {
    stopWatching();
    if (!open || !PortOpen()) {
        if (port_.isOpen() || net_.isReady() || net_.isConnecting()) {
            const bool wasOpen = PortOpen();
            closeDevice();
            if (wasOpen) {
                record(TrafficEntry::Kind::Event, {}, QStringLiteral("port closed"));
            }
        }
        lost_ = false;
        netUp_ = false;
        network_ = false;
        received_.clear();
    }
    if (!open || PortOpen()) {
        return true;
    }
    if (commPort_ == 0) {
        return refuse(QString(), QStringLiteral("no port is set"));
    }
    // The device is what it is now, and stays that device until another port is opened.
    const PortChoice choice = resolver_(commPort_);
    identity_ = DeviceIdentity::of(choice);
    if (choice.device.isEmpty()) {
        return refuse(identity_.describe(), QStringLiteral("is not present"));
    }
    if (isNetworkPort(choice.device)) {
        return openNetwork(choice.device);
    }
    if (!openDevice(choice.device)) {
        return false;
    }
    record(TrafficEntry::Kind::Event, {},
           QStringLiteral("port opened: %1 at %2").arg(openedPath_, settingsText_));
    emit opened();
    return true;
}

bool SerialControl::openDevice(const QString& path) {
    if (!settings_) {
        return refuse(
            path, QStringLiteral("cannot be opened: the line settings \"%1\" are not of the form 9600,n,8,1")
                      .arg(settingsText_));
    }
    if (const QString reason = deviceProblem(path); !reason.isEmpty()) {
        return refuse(path, reason);
    }
    // The advisory lock that other serial programs (pyserial's exclusive ports, terminal
    // programs) take, held on a handle of its own for as long as the port is open.
    lockHandle_ = ::open(path.toLocal8Bit().constData(),
                         (listenOnly_ ? O_RDONLY : O_RDWR) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lockHandle_ >= 0 && ::flock(lockHandle_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        closeDevice();
        return refuse(path, lockedReason(path));
    }
    port_.setPortName(QFileInfo(path).absoluteFilePath());
    port_.setBaudRate(settings_->baudRate);
    port_.setParity(settings_->parity);
    port_.setDataBits(settings_->dataBits);
    port_.setStopBits(settings_->stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(listenOnly_ ? QIODevice::ReadOnly : QIODevice::ReadWrite)) {
        closeDevice();
        // Qt reports a lock held by another program as a permission error; the device itself
        // may be used, as deviceProblem found.
        return refuse(path, port_.error() == QSerialPort::PermissionError
                                ? busyReason(path)
                                : QStringLiteral("cannot be opened: %1").arg(port_.errorString()));
    }
    if (listenOnly_) {
        // Nothing that could drive the line stays asserted (a pseudo-terminal has no such lines).
        port_.setRequestToSend(false);
        port_.setDataTerminalReady(false);
        // What the device held from before is no traffic of now.
        port_.clear(QSerialPort::Input);
    }
    lastError_.clear();
    openedPath_ = path;
    // A USB adapter is asked not to hold small reads (replies) back; where its driver refuses,
    // the port's state says so.
    lowLatency_ = isUsbSerial(path) ? requestLowLatency(static_cast<int>(port_.handle())) : LowLatency{};
    // Unix 98 pseudo-terminal slaves have majors 136 to 143.
    struct stat device {};
    pseudoTerminal_ = ::fstat(static_cast<int>(port_.handle()), &device) == 0 && S_ISCHR(device.st_mode) &&
                      major(device.st_rdev) >= 136 && major(device.st_rdev) <= 143;
    return true;
}

int SerialControl::readHoldMs() const {
    if (network_) {
        return static_cast<int>(std::ceil(net_.roundTripMs())) + kDefaultReadHoldMs;
    }
    const std::optional<int> latency = adapterLatencyMs(openedPath_);
    return latency ? *latency + 1 : kDefaultReadHoldMs;
}

void SerialControl::closeDevice() {
    if (port_.isOpen()) {
        restoreLatency(static_cast<int>(port_.handle()), lowLatency_);
    }
    lowLatency_ = LowLatency{};
    pseudoTerminal_ = false;
    port_.close();
    net_.close();
    if (lockHandle_ >= 0) {
        ::close(lockHandle_);
        lockHandle_ = -1;
    }
}

void SerialControl::startWatching() {
    const QFileInfo device(openedPath_);
    const QString folder = device.absoluteDir().exists() ? device.absolutePath() : QStringLiteral("/dev");
    watch_.addPath(folder);
    retry_.start();
}

void SerialControl::stopWatching() {
    retry_.stop();
    if (!watch_.directories().isEmpty()) {
        watch_.removePaths(watch_.directories());
    }
}

bool SerialControl::isWatching() const {
    return retry_.isActive();
}

void SerialControl::tryReopen() {
    if (!isWatching()) {
        return;
    }
    if (network_) {
        retry_.stop(); // the next try is started when this one fails
        const auto address = parseNetworkAddress(openedPath_, &lastError_);
        net_.open(*address, *settings_);
        return;
    }
    // Only the device that went away: another one in its place is another bus.
    const QString path = identity_.locate(presentDevices());
    if (path.isEmpty() || !deviceProblem(path).isEmpty()) {
        return;
    }
    if (port_.isOpen()) {
        closeDevice(); // the lost handle, if its close is still to come
    }
    lost_ = false;
    received_.clear();
    if (!openDevice(path)) {
        return; // still not usable (busy, say): the next change or second tries again
    }
    stopWatching();
    record(TrafficEntry::Kind::Event, {},
           QStringLiteral("port reopened: %1 at %2").arg(openedPath_, settingsText_));
    emit opened();
    emit reopened();
}

QString SerialControl::closedReason() const {
    if (!lastError_.isEmpty()) {
        return lastError_;
    }
    const QString path = devicePath();
    return path.isEmpty() ? QStringLiteral("no port is set")
                          : QStringLiteral("%1 is closed").arg(shownPortName(path));
}

bool SerialControl::refuse(const QString& path, const QString& reason) {
    lastError_ = path.isEmpty() ? reason : QStringLiteral("%1 %2").arg(shownPortName(path), reason);
    return false;
}

bool SerialControl::hasUnread() const {
    const qintptr fd = network_ ? net_.descriptor() : port_.handle();
    int queued = 0;
    return fd >= 0 && ::ioctl(static_cast<int>(fd), FIONREAD, &queued) == 0 && queued > 0;
}

void SerialControl::setListenOnly(bool listen) {
    listenOnly_ = listen;
    net_.setListenOnly(listen);
}

bool SerialControl::Output(const protocol::Bytes& bytes) {
    if (!PortOpen() || listenOnly_) {
        return false;
    }
    if (stripEcho_) {
        echo_ += bytes;
    }
    if (network_) {
        net_.write(bytes);
    } else {
        port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
        // Hand the bytes to the driver now rather than at the next event-loop pass, so that a
        // command goes out whole and in order even when the port is closed right after.
        port_.flush();
    }
    if (!PortOpen()) {
        return false; // the port went away with this write: the loss is what is recorded
    }
    record(TrafficEntry::Kind::Sent, bytes);
    return true;
}

protocol::Bytes SerialControl::Input() {
    if (!PortOpen()) {
        return {};
    }
    pull();
    protocol::Bytes block;
    block.swap(received_);
    return block;
}

void SerialControl::pull() {
    protocol::Bytes bytes;
    if (network_) {
        bytes = net_.readAll();
    } else {
        const QByteArray data = port_.readAll();
        bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
    }
    if (stripEcho_ && !echo_.empty() && !bytes.empty()) {
        // What an echoing adapter hands back of the bytes written comes first; it is taken out
        // before any reply is looked for. Bytes that differ mean no (further) echo is coming.
        std::size_t same = 0;
        while (same < bytes.size() && same < echo_.size() && bytes[same] == echo_[same]) {
            ++same;
        }
        if (same > 0) {
            record(TrafficEntry::Kind::Echo, bytes.substr(0, same));
            echo_.erase(0, same);
            bytes.erase(0, same);
        }
        if (!bytes.empty()) {
            echo_.clear();
        }
    }
    if (bytes.empty()) {
        return;
    }
    record(TrafficEntry::Kind::Received, bytes);
    received_ += bytes;
}

void SerialControl::setEchoStripping(bool strip) {
    stripEcho_ = strip;
    echo_.clear();
}

bool SerialControl::switchSettings(const QString& text) {
    const std::optional<LineSettings> settings = parseLineSettings(text);
    if (!settings) {
        return false;
    }
    settingsText_ = text;
    settings_ = settings;
    if (network_) {
        net_.applySettings(*settings);
    } else if (port_.isOpen()) {
        drainOutput();
        port_.setBaudRate(settings->baudRate);
        port_.setParity(settings->parity);
        port_.setDataBits(settings->dataBits);
        port_.setStopBits(settings->stopBits);
    }
    return true;
}

void SerialControl::drainOutput() {
    // Bytes already written go out at the speed they were written at (a pseudo-terminal tells
    // nothing here: see isPseudoTerminal). Bounded by the time they take on the wire at the
    // slower of the modules' speeds and kDrainLimitMs: a far end that reads nothing (a stopped
    // peer) must not hold the program up for long.
    port_.flush();
    const int fd = static_cast<int>(port_.handle());
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) {
        return;
    }
    const QDeadlineTimer deadline(kDrainLimitMs + static_cast<qint64>(std::ceil(protocol::wireMs(
                                                      static_cast<std::size_t>(queued), 4800))));
    while (!deadline.hasExpired() && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        ::usleep(500);
    }
}

void SerialControl::onReadyRead() {
    if (PortOpen()) {
        pull();
        raiseIfEnough();
    }
}

void SerialControl::raiseIfEnough() {
    if (!PortOpen() || threshold_ <= 0 || static_cast<int>(received_.size()) < threshold_) {
        return;
    }
    commEvent_ = comEvReceive;
    emit OnComm();
    commEvent_ = 0;
}

void SerialControl::record(TrafficEntry::Kind kind, const protocol::Bytes& bytes, const QString& event) {
    static const QMetaMethod signal = QMetaMethod::fromSignal(&SerialControl::traffic);
    if (!isSignalConnected(signal)) {
        return;
    }
    TrafficEntry entry;
    entry.nanoseconds = QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
    entry.kind = kind;
    entry.bytes = bytes;
    entry.event = event;
    entry.unexpected = kind == TrafficEntry::Kind::Received && awaiting_ == 0;
    entry.replyLength = threshold_;
    emit traffic(entry);
}

void SerialControl::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError: // modem lines on a pseudo-terminal
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
        return; // reported by setPortOpen
    default:
        break;
    }
    if (lost_ || !port_.isOpen()) {
        return;
    }
    // Qt reports a full output buffer (EAGAIN) as the same resource error as a device that went
    // away. The bytes stay queued and go out once the driver takes more; only a hung-up or
    // failed device ends the port.
    // A read that found nothing (EAGAIN) is the same error again, and after it Qt no longer
    // watches the port for input until it is read from: read it now, so that it listens again.
    pollfd device{static_cast<int>(port_.handle()), POLLIN | POLLOUT, 0};
    if (::poll(&device, 1, 0) >= 0 && !(device.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        port_.clearError();
        QMetaObject::invokeMethod(this, &SerialControl::onReadyRead, Qt::QueuedConnection);
        return;
    }
    // A device that went away makes Qt report the same error over and over from its read
    // notifier. Stop using the port at once; close it once the notifier has returned.
    lost_ = true;
    // A pseudo-terminal never returns: its number goes to whoever asks for one next, and that
    // is not this port's far end. A symlink to one (the virtual module's bus) is pointed at the
    // new one when it comes back, so it is watched for like any device.
    const bool returns = !openedPath_.startsWith(QLatin1String("/dev/pts/"));
    // Why it ended, from the device itself: Qt's error text may be left over from an earlier
    // write that only found the buffer full.
    const QString why = !QFileInfo::exists(openedPath_) ? QStringLiteral("the device was removed")
                        : device.revents & POLLHUP      ? QStringLiteral("the line hung up")
                        : device.revents & POLLERR      ? QStringLiteral("an input/output error")
                                                        : QStringLiteral("the device failed");
    lostBecause_ = QStringLiteral("%1 went away (%2)").arg(openedPath_, why);
    lastError_ =
        lostBecause_ +
        (returns ? QStringLiteral("; waiting for %1 to return").arg(identity_.describe()) : QString());
    record(TrafficEntry::Kind::Event, {}, QStringLiteral("port lost: %1").arg(lastError_));
    if (returns) {
        startWatching();
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost_) {
                closeDevice();
            }
        },
        Qt::QueuedConnection);
    emit portLost(lastError_);
}

} // namespace trivex::link
