#include "link/Devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace trivex::link {

namespace {

DeviceSource& source() {
    static DeviceSource current = systemDevices;
    return current;
}

// The number n of /dev/ttySn, the on-board ports; no value for any other device.
// (Plain character tests: a reading ahead runs this on a thread of its own.)
std::optional<int> onBoardIndex(const QString& path) {
    const QLatin1String prefix("/dev/ttyS");
    const QStringView digits = QStringView(path).mid(std::min<qsizetype>(prefix.size(), path.size()));
    if (!path.startsWith(prefix) || digits.isEmpty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    return digits.toInt();
}

// An on-board port that the kernel found no UART for reports type 0; it opens, and goes nowhere.
bool hasNoUart(const QString& path) {
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(QFileInfo(path).fileName()));
    return onBoardIndex(path) && type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0";
}

bool inGroup(gid_t id) {
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    return ::getegid() == id ||
           std::find(groups, groups + std::max(count, 0), id) != groups + std::max(count, 0);
}

QString permissionDenied(const struct stat* info) {
    QString reason = QStringLiteral("cannot be opened: permission denied");
    const passwd* user = ::getpwuid(::geteuid());
    const group* owner = info ? ::getgrgid(info->st_gid) : nullptr;
    if (owner && inGroup(owner->gr_gid)) {
        reason += QStringLiteral(" by its mode %1").arg(info->st_mode & 0777, 4, 8, QLatin1Char('0'));
    } else if (owner && user && owner->gr_gid != 0) {
        reason += QStringLiteral(
                      ". It belongs to group %1; join it with \"sudo adduser %2 %1\", then log out and in "
                      "again")
                      .arg(QString::fromLocal8Bit(owner->gr_name), QString::fromLocal8Bit(user->pw_name));
    }
    return reason;
}

} // namespace

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

std::map<int, SerialDevice> assignComNumbers(const std::vector<SerialDevice>& devices,
                                             const std::map<int, QString>& keyed) {
    std::map<int, SerialDevice> assigned;
    std::set<int> taken;
    for (const auto& entry : keyed) {
        taken.insert(entry.first);
    }
    std::vector<SerialDevice> waiting;
    for (const SerialDevice& device : devices) {
        const bool named = std::any_of(keyed.begin(), keyed.end(), [&](const auto& key) {
            return key.second == device.path ||
                   (!device.stablePath.isEmpty() && key.second == device.stablePath);
        });
        const std::optional<int> index = onBoardIndex(device.path);
        if (named) {
            continue;
        }
        if (index && *index < kComNumbers && !taken.count(*index + 1)) {
            taken.insert(*index + 1); // an on-board port with a UART holds its own number
            continue;
        }
        waiting.push_back(device);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.name() < b.name(); });
    int number = 1;
    for (const SerialDevice& device : waiting) {
        while (number <= kComNumbers && taken.count(number)) {
            ++number;
        }
        if (number > kComNumbers) {
            break;
        }
        assigned[number++] = device;
    }
    return assigned;
}

DeviceIdentity DeviceIdentity::of(const PortChoice& choice) {
    DeviceIdentity identity;
    if (choice.origin == PortChoice::Origin::Found && choice.info &&
        (!choice.info->stablePath.isEmpty() || !choice.info->usbPath.isEmpty())) {
        identity.adapter = *choice.info;
    } else {
        identity.path = choice.device;
    }
    return identity;
}

bool DeviceIdentity::matches(const SerialDevice& device) const {
    if (!path.isEmpty()) {
        return device.path == path || device.stablePath == path;
    }
    if (!adapter.stablePath.isEmpty()) {
        return device.stablePath == adapter.stablePath;
    }
    return device.usbPath == adapter.usbPath && device.vendorId == adapter.vendorId &&
           device.productId == adapter.productId && device.serialNumber == adapter.serialNumber;
}

QString DeviceIdentity::locate(const std::vector<SerialDevice>& devices) const {
    if (!path.isEmpty()) {
        return path;
    }
    for (const SerialDevice& device : devices) {
        if (matches(device)) {
            return device.name();
        }
    }
    return {};
}

QString DeviceIdentity::describe() const {
    if (!path.isEmpty()) {
        return path;
    }
    QString text = adapter.stablePath.isEmpty() ? QStringLiteral("the USB adapter %1:%2 in USB socket %3")
                                                      .arg(adapter.vendorId, 4, 16, QLatin1Char('0'))
                                                      .arg(adapter.productId, 4, 16, QLatin1Char('0'))
                                                      .arg(adapter.usbPath)
                                                : adapter.stablePath;
    if (const QString summary = adapter.summary(); !summary.isEmpty()) {
        text += QStringLiteral(" (%1)").arg(summary);
    }
    return text;
}

PortMap::PortMap(KeyReader keys)
    : keys_(std::move(keys)) {
}

void PortMap::pin(int number, const DeviceIdentity& identity) {
    if (identity.path.isEmpty() && !identity.isEmpty()) {
        pinned_[number] = identity;
    }
}

PortChoice PortMap::choice(int number) const {
    PortChoice choice;
    choice.number = number;
    const QString key = keys_(number).trimmed();
    const std::vector<SerialDevice> devices = presentDevices();
    auto describe = [&](const QString& path) {
        for (const SerialDevice& device : devices) {
            if (device.path == path || device.stablePath == path) {
                choice.info = device;
            }
        }
    };
    if (!key.isEmpty()) {
        choice.origin = PortChoice::Origin::Keyed;
        choice.device = key;
        describe(key);
        return choice;
    }
    if (const auto pin = pinned_.find(number); pin != pinned_.end()) {
        // Its device, wherever it is now; while it is away, no other device.
        choice.origin = PortChoice::Origin::Found;
        choice.device = pin->second.locate(devices);
        for (const SerialDevice& device : devices) {
            if (pin->second.matches(device)) {
                choice.info = device;
            }
        }
        if (choice.device.isEmpty()) {
            choice.device = pin->second.adapter.stablePath;
        }
        return choice;
    }
    std::map<int, QString> keyed;
    for (int n = 1; n <= kComNumbers; ++n) {
        if (const QString other = keys_(n).trimmed(); !other.isEmpty()) {
            keyed[n] = other;
        } else if (const auto pin = pinned_.find(n); pin != pinned_.end()) {
            keyed[n] = pin->second.locate(devices); // its device gets no second number
        }
    }
    const std::map<int, SerialDevice> assigned = assignComNumbers(devices, keyed);
    if (const auto found = assigned.find(number); found != assigned.end()) {
        choice.origin = PortChoice::Origin::Found;
        choice.device = found->second.name();
        choice.info = found->second;
        return choice;
    }
    choice.device = defaultDevicePath(number);
    describe(choice.device);
    return choice;
}

namespace {

// The session and controlling terminal of a process, from /proc/PID/stat; false when the
// process is gone. (Its command name may hold blanks and brackets: the fields follow the last ')'.)
bool sessionOf(const char* pid, long long* session, unsigned long long* terminal) {
    char name[300];
    std::snprintf(name, sizeof name, "/proc/%s/stat", pid);
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char text[1024];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) {
        return false;
    }
    text[n] = '\0';
    const char* rest = std::strrchr(text, ')');
    char state = 0;
    long long parent = 0;
    long long group = 0;
    return rest &&
           std::sscanf(rest + 1, " %c %lld %lld %lld %llu", &state, &parent, &group, session, terminal) == 5;
}

// "bash, process 1234", as /proc names a process.
QString processName(long long pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString name =
        comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("%1, process %2").arg(name).arg(pid);
}

} // namespace

QString sessionTerminalProblem(const QString& path) {
    struct stat info {};
    if (::stat(path.toLocal8Bit().constData(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return {};
    }
    // Linux answers tcgetsid() only for the caller's own controlling terminal; every process
    // names its controlling terminal in /proc, this one included.
    DIR* processes = ::opendir("/proc");
    if (!processes) {
        return {};
    }
    long long leader = 0;
    while (const dirent* entry = ::readdir(processes)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
            continue;
        }
        long long session = 0;
        unsigned long long tty = 0;
        if (!sessionOf(entry->d_name, &session, &tty) || tty == 0) {
            continue;
        }
        // The kernel's encoding of a device number: minor in bits 0-7 and 20-31, major in 8-19.
        const auto ttyMajor = static_cast<unsigned>((tty >> 8) & 0xfff);
        const auto ttyMinor = static_cast<unsigned>((tty & 0xff) | ((tty >> 12) & 0xfff00));
        if (ttyMajor == major(info.st_rdev) && ttyMinor == minor(info.st_rdev)) {
            leader = session;
            break;
        }
    }
    ::closedir(processes);
    if (leader <= 0) {
        return {};
    }
    return QStringLiteral("is the terminal of a login or shell session (%1): a terminal in use is never "
                          "taken as a port")
        .arg(processName(leader));
}

QString lockedReason(const QString& path) {
    // /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:18:5 0 EOF", the file as device:inode.
    struct stat info {};
    QString holder;
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(path.toLocal8Bit().constData(), &info) == 0 && locks.open(QIODevice::ReadOnly)) {
        const QString file = QStringLiteral("%1:%2:%3")
                                 .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                                 .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                                 .arg(info.st_ino);
        for (const QByteArray& line : locks.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 5 && fields[1] == "FLOCK" && QString::fromLatin1(fields[5]) == file) {
                holder = QStringLiteral(" (%1)").arg(processName(fields[4].toLongLong()));
                break;
            }
        }
    }
    return QStringLiteral("is busy: another program has it open%1").arg(holder);
}

QString deviceProblem(const QString& path) {
    const QByteArray device = path.toLocal8Bit();
    struct stat info {};
    if (::stat(device.constData(), &info) != 0) {
        return errno == EACCES ? permissionDenied(nullptr) : QStringLiteral("is not present");
    }
    if (!S_ISCHR(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? QStringLiteral("is a directory, not a serial port")
                                     : QStringLiteral("is a plain file, not a serial port");
    }
    if (hasNoUart(QFileInfo(path).canonicalFilePath())) {
        return QStringLiteral("has no serial port hardware behind it: the kernel found no UART for it");
    }
    if (QString session = sessionTerminalProblem(path); !session.isEmpty()) {
        return session;
    }
    // The effective user's rights, which are the ones the open will have.
    if (::euidaccess(device.constData(), R_OK | W_OK) != 0) {
        return permissionDenied(&info);
    }
    return {};
}

QString busyReason(const QString& path) {
    // Where Qt (and other serial programs) keep the lock file of a port: LCK.. and the device's
    // name under /dev, its slashes made underscores, in the first usable folder of these.
    QString name = QFileInfo(path).absoluteFilePath();
    if (name.startsWith(QLatin1String("/dev/"))) {
        name = name.mid(5);
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp"}) {
        const QFileInfo lockFolder(QString::fromLatin1(folder));
        if (!lockFolder.isReadable() || !lockFolder.isWritable()) {
            continue;
        }
        const QLockFile lock(lockFolder.absoluteFilePath() + QStringLiteral("/LCK..") + name);
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock.getLockInfo(&pid, &host, &application) && pid > 0) {
            return QStringLiteral("is busy: another program has it open (%1process %2)")
                .arg(application.isEmpty() ? QString() : application + QStringLiteral(", "))
                .arg(pid);
        }
        break;
    }
    return QStringLiteral("is busy: another program has it open");
}

} // namespace trivex::link
