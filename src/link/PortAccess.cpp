#include "link/PortAccess.h"

#include "link/Devices.h"
#include "link/NetworkAddress.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace trivex::link {

namespace {

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
    if (isNetworkPort(path)) {
        return {}; // a serial server tells its problems when it is connected
    }
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
