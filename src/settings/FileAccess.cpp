#include "settings/FileAccess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace trivex::settings {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a directory");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    return QStringLiteral("not a regular file");
}

QString notRegular(mode_t mode) {
    const QString kind = kindOf(mode);
    return kind.startsWith(QLatin1String("not")) ? kind : kind + QStringLiteral(", not a regular file");
}

// Retries writes cut short by a signal or by the device taking less than was offered.
bool writeAll(int fd, const QByteArray& data, qint64 offset, QString* error) {
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = offset < 0
                              ? ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done))
                              : ::pwrite(fd, data.constData() + done, static_cast<size_t>(data.size() - done),
                                         offset + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = systemError(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += n;
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced loses nothing that is not
// already on its way to the disk, so a failure here is not reported.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The temporary file a replacement of target is written to: ".NAME.XXXXXX" beside it.
QByteArray temporaryPattern(const QByteArray& target) {
    const QFileInfo info(QString::fromLocal8Bit(target));
    return info.absolutePath().toLocal8Bit() + "/." + info.fileName().toLocal8Bit() + ".XXXXXX";
}

bool inGroup(gid_t group) {
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    return ::getegid() == group ||
           std::find(groups, groups + std::max(count, 0), group) != groups + std::max(count, 0);
}

// Whether a file this user makes can be given the old file's owner and group: root can give it
// any, the owner any group it is in; anyone else would take the file over.
bool canKeepOwnership(const struct stat& old) {
    const uid_t user = ::geteuid();
    return user == 0 || (user == old.st_uid && inGroup(old.st_gid));
}

// Copies every extended attribute of the old file (its POSIX ACLs among them) to fd; false
// when one of them cannot be copied.
bool copyAttributes(const QByteArray& from, int fd) {
    const ssize_t size = ::listxattr(from.constData(), nullptr, 0);
    if (size <= 0) {
        return size == 0 || errno == ENOTSUP; // none, or a file system without any
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t listed = ::listxattr(from.constData(), names.data(), names.size());
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        const ssize_t length = ::getxattr(from.constData(), name, nullptr, 0);
        std::vector<char> value(static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
        if (length < 0 || ::getxattr(from.constData(), name, value.data(), value.size()) != length ||
            ::fsetxattr(fd, name, value.data(), value.size(), 0) != 0) {
            return false;
        }
    }
    return listed == size;
}

// The whole new content into a fresh file beside the target, then renamed over it. Returns
// false with *error empty when the folder takes no new file at all, or when the new file could
// not carry all that the old one has (owner, group, ACLs, attributes, other names).
bool replaceByRename(const QByteArray& target, const QByteArray& data, const struct stat* old,
                     QString* error) {
    error->clear();
    if (old && (old->st_nlink > 1 || !canKeepOwnership(*old))) {
        return false;
    }
    const QByteArray folder = QFileInfo(QString::fromLocal8Bit(target)).absolutePath().toLocal8Bit();
    QByteArray name = temporaryPattern(target);
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        if (!(errno == EACCES || errno == EPERM || errno == EROFS)) {
            *error = systemError(errno);
        }
        return false;
    }
    if (old) {
        // The new file is the old one in all but its content: owner, group, mode, ACLs and
        // extended attributes (the ACL after the mode, which it keeps consistent).
        if (::fchown(fd, old->st_uid, old->st_gid) != 0 || ::fchmod(fd, old->st_mode & 07777) != 0 ||
            !copyAttributes(target, fd)) {
            ::close(fd);
            ::unlink(name.constData());
            return false;
        }
    } else {
        // A new file gets the permissions any program's new file gets, not mkstemp's 0600.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    struct stat written {};
    bool ok = writeAll(fd, data, -1, error);
    if (ok && ::fsync(fd) != 0) {
        *error = systemError(errno);
        ok = false;
    }
    if (ok && (::fstat(fd, &written) != 0 || written.st_size != data.size())) {
        *error = QStringLiteral("the new file came out %1 bytes long instead of %2")
                     .arg(written.st_size)
                     .arg(data.size());
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = systemError(errno);
        ok = false;
    }
    if (ok && ::rename(name.constData(), target.constData()) != 0) {
        *error = systemError(errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(name.constData());
        return false;
    }
    syncFolder(folder);
    return true;
}

// For a file whose folder takes no temporary file: the room for the new content is reserved
// before anything is written, so that a full disk refuses while the old content is whole.
bool replaceInPlace(const QByteArray& target, const QByteArray& data, QString* error) {
    const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = systemError(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        *error = notRegular(info.st_mode);
    }
    if (ok && data.size() > info.st_size) {
        const int reserved = ::posix_fallocate(fd, 0, data.size());
        if (reserved != 0 && reserved != EOPNOTSUPP) {
            *error = systemError(reserved);
            ok = false;
        }
    }
    ok = ok && writeAll(fd, data, 0, error);
    if (ok && (::ftruncate(fd, data.size()) != 0 || ::fsync(fd) != 0)) {
        *error = systemError(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = systemError(errno);
        ok = false;
    }
    return ok;
}

} // namespace

FileContents readRegularFile(const QString& path, qint64 maxSize) {
    FileContents contents;
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT) {
            contents.error = systemError(errno);
        }
        return contents;
    }
    contents.exists = true;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        contents.error = notRegular(info.st_mode);
    } else if (info.st_size > maxSize) {
        contents.tooLarge = true;
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                contents.error = systemError(errno);
                break;
            }
            if (n == 0) {
                break;
            }
            contents.data.append(buffer, n);
            if (contents.data.size() > maxSize) {
                contents.tooLarge = true; // it grew while being read
                break;
            }
        }
    }
    ::close(fd);
    if (contents.tooLarge && contents.error.isEmpty()) {
        contents.error = QStringLiteral("larger than %1 bytes").arg(maxSize);
    }
    if (!contents.error.isEmpty()) {
        contents.data.clear();
    }
    return contents;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_); // and with it the lock
    }
}

bool FileLock::take(const QString& path, Mode mode, int waitMs, QString* why) {
    const QByteArray name = path.toLocal8Bit();
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat opened {};
        if (fd_ < 0 || ::fstat(fd_, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            const int error = errno;
            if (fd_ >= 0) {
                ::close(fd_);
                fd_ = -1;
                return true; // not a regular file: the reader tells what it is
            }
            if (error == ENOENT) {
                return true;
            }
            *why = systemError(error);
            return false;
        }
        while (::flock(fd_, (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK || deadline.hasExpired()) {
                *why = errno == EWOULDBLOCK
                           ? QStringLiteral("another copy of the program held it for more than %1 s")
                                 .arg(waitMs / 1000.0)
                           : systemError(errno);
                ::close(fd_);
                fd_ = -1;
                return false;
            }
            QThread::msleep(2);
        }
        // Still the file the path names? A writer may have renamed a new one into its place
        // while this one waited.
        struct stat named {};
        if (::stat(name.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            return true;
        }
        ::close(fd_);
        fd_ = -1;
    }
}

QString writeTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink()) {
        return path;
    }
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
}

QString replaceProblem(const QString& path) {
    const QFileInfo link(path);
    if (link.isSymLink() && link.canonicalFilePath().isEmpty()) {
        return QStringLiteral("a symlink to %1, which does not exist").arg(link.symLinkTarget());
    }
    struct stat info {};
    if (::stat(writeTarget(path).toLocal8Bit().constData(), &info) != 0) {
        return errno == ENOENT ? QString() : systemError(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular(info.st_mode);
    }
    // The permission bits count, so that even root leaves a file its owner made read-only alone.
    if (!(info.st_mode & S_IWUSR) || ::access(writeTarget(path).toLocal8Bit().constData(), W_OK) != 0) {
        return QStringLiteral("the file is read-only");
    }
    return {};
}

QString replaceFile(const QString& path, const QByteArray& data) {
    if (const QString problem = replaceProblem(path); !problem.isEmpty()) {
        return problem;
    }
    const QByteArray target = writeTarget(path).toLocal8Bit();
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    QString error;
    if (replaceByRename(target, data, exists ? &old : nullptr, &error)) {
        return {};
    }
    if (!error.isEmpty()) {
        return error;
    }
    if (!exists) {
        return QStringLiteral("the folder %1 cannot be written")
            .arg(QFileInfo(QString::fromLocal8Bit(target)).absolutePath());
    }
    return replaceInPlace(target, data, &error) ? QString() : error;
}

void removeLeftoverTemporaries(const QString& target) {
    const QFileInfo file(writeTarget(target));
    const QString pattern = QStringLiteral(".%1.??????").arg(file.fileName());
    const QDir folder(file.absolutePath());
    for (const QFileInfo& left : folder.entryInfoList({pattern}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!left.isSymLink()) {
            QFile::remove(left.absoluteFilePath());
        }
    }
}

} // namespace trivex::settings
