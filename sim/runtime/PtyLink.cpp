#include "sim/runtime/PtyLink.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace trivex::sim {

namespace {

bool isCharacterDevice(const QFileInfo& file) {
    struct stat info {};
    return ::stat(file.absoluteFilePath().toLocal8Bit().constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

PtyLink::~PtyLink() {
    if (!linkPath_.isEmpty() &&
        QFileInfo(linkPath_).symLinkTarget() == QFileInfo(slavePath_).absoluteFilePath()) {
        QFile::remove(linkPath_);
    }
    if (slave_ >= 0) {
        ::close(slave_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PtyLink::open(const QString& linkPath, QString* error) {
    // Close-on-exec, so that a program started meanwhile (trivexctl from a test) holds no
    // handle of its own that would keep the bus alive after it ends.
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    // Holding the slave open keeps the master readable while the program closes and reopens
    // its port; the program's own settings (speed) are what the modules listen for.
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(master_, &raw);
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B9600);
    ::cfsetospeed(&raw, B9600);
    ::tcsetattr(master_, TCSANOW, &raw);

    // One virtual module a link: the lock beside it names the one that runs.
    lock_ = std::make_unique<QLockFile>(linkPath + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host;
        QString application;
        lock_->getLockInfo(&pid, &host, &application);
        *error = QStringLiteral("another virtual module (process %1) runs at %2").arg(pid).arg(linkPath);
        return false;
    }
    // A link left behind is replaced: one that leads nowhere, or to a pseudo-terminal. Anything
    // else at that path is somebody's file and stays.
    const QFileInfo link(linkPath);
    if (link.isSymLink()) {
        const QFileInfo target(link.symLinkTarget());
        if (target.exists() &&
            !(target.absolutePath() == QLatin1String("/dev/pts") && isCharacterDevice(target))) {
            *error = QStringLiteral(
                         "%1 leads to %2, which is not a pseudo-terminal; choose another path with --link")
                         .arg(linkPath, target.absoluteFilePath());
            return false;
        }
        QFile::remove(linkPath);
    } else if (link.exists()) {
        *error =
            QStringLiteral("%1 exists and is not a symlink; choose another path with --link").arg(linkPath);
        return false;
    }
    if (!QFile::link(slavePath_, linkPath)) {
        *error = QStringLiteral("cannot create the symlink %1").arg(linkPath);
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

} // namespace trivex::sim
