#include "settings/IniFile.h"

#include "settings/FileAccess.h"
#include "settings/IniDocument.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>
#include <chrono>
#include <optional>

namespace trivex::settings {

namespace {

// How long a write waits for another copy of the program to finish its own, asking this often.
constexpr int kLockWaitMs = 2000;
constexpr int kLockPollMs = 5;
// A lock older than this whose holder still runs is taken to be left over from a hang.
constexpr std::chrono::seconds kStaleLock{10};

// The document at path. Read under a shared lock on the file unless the caller holds it
// already: a rewrite in place through any of its names is never read half done.
std::optional<IniDocument> load(const QString& path, QString* why, bool lock = true) {
    FileLock shared;
    if (lock && !shared.take(path, FileLock::Mode::Shared, kLockWaitMs, why)) {
        *why = QStringLiteral("it cannot be read now: %1").arg(*why);
        return std::nullopt;
    }
    const FileContents contents = readRegularFile(path, IniDocument::kMaxFileSize);
    if (contents.tooLarge) {
        *why = QStringLiteral("it is larger than 1 MiB, so it is no settings file");
        return std::nullopt;
    }
    if (!contents.error.isEmpty()) {
        *why = QStringLiteral("it cannot be read: %1").arg(contents.error);
        return std::nullopt;
    }
    return IniDocument::parse(contents.data, why);
}

// The lock beside the file, or, where its folder takes no new file, in the temporary folder
// under a name made from the file's path, so that every copy of the program finds the same.
QString lockPath(const QString& target, bool beside) {
    if (beside) {
        return target + QStringLiteral(".lock");
    }
    const QByteArray hash =
        QCryptographicHash::hash(QFileInfo(target).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1);
    return QDir::tempPath() +
           QStringLiteral("/trivex-settings-%1.lock").arg(QString::fromLatin1(hash.toHex().left(16)));
}

// Waits for the lock at most kLockWaitMs, asking every few milliseconds: QLockFile's own wait
// doubles its pauses up to seconds, so a copy that asks while another writes key after key may
// miss every moment the lock is free.
bool takeLock(QLockFile& lock) {
    QDeadlineTimer deadline(kLockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(kLockPollMs);
    }
    return true;
}

QString holderOf(const QLockFile& lock) {
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.getLockInfo(&pid, &host, &application) && pid > 0) {
        return QStringLiteral(" (%1, process %2)")
            .arg(application.isEmpty() ? QStringLiteral("trivex") : application)
            .arg(pid);
    }
    return {};
}

} // namespace

IniFile::IniFile(QString path)
    : path_(std::move(path)) {
}

QString IniFile::read(const QString& section, const QString& key) const {
    QString why;
    const std::optional<IniDocument> document = load(path_, &why);
    return document ? document->value(section, key) : QString();
}

QString IniFile::readProblem() const {
    QString why;
    return load(path_, &why) ? QString() : why;
}

bool IniFile::write(const QList<IniEntry>& entries) {
    error_.clear();
    const QString target = writeTarget(path_);
    QLockFile besideLock(lockPath(target, true));
    QLockFile tempLock(lockPath(target, false));
    QLockFile* lock = &besideLock;
    for (QLockFile* candidate : {&besideLock, &tempLock}) {
        lock = candidate;
        lock->setStaleLockTime(kStaleLock);
        if (takeLock(*lock)) {
            break;
        }
        if (lock->error() == QLockFile::LockFailedError) {
            error_ = QStringLiteral("another copy of the program%1 held the settings file for more than %2 s")
                         .arg(holderOf(*lock))
                         .arg(kLockWaitMs / 1000);
            return false;
        }
    }
    if (!lock->isLocked()) {
        error_ = QStringLiteral("no lock file can be made for it");
        return false;
    }
    if (const QString problem = replaceProblem(path_); !problem.isEmpty()) {
        error_ = problem;
        return false;
    }
    // The lock file belongs to a name; this lock to the file, whatever name reaches it: copies
    // writing through another name (a hard link) wait here, and readers wait for the rewrite.
    FileLock exclusive;
    QString why;
    if (!exclusive.take(target, FileLock::Mode::Exclusive, kLockWaitMs, &why)) {
        error_ = why;
        return false;
    }
    std::optional<IniDocument> document = load(path_, &why, false);
    if (!document) {
        error_ = why;
        return false;
    }
    for (const IniEntry& entry : entries) {
        if (entry.onlyIfMissing && !document->value(entry.section, entry.key).isEmpty()) {
            continue;
        }
        if (error_ = document->setValue(entry.section, entry.key, entry.value); !error_.isEmpty()) {
            return false;
        }
    }
    const QByteArray bytes = document->toBytes();
    if (bytes.size() > IniDocument::kMaxFileSize) {
        error_ = QStringLiteral("the file would grow past 1 MiB, and a larger file is no settings file");
        return false;
    }
    // Under the lock no other writer is at work: a temporary file beside the target is left
    // over from one that was killed before its rename.
    removeLeftoverTemporaries(target);
    error_ = replaceFile(path_, bytes);
    return error_.isEmpty();
}

} // namespace trivex::settings
