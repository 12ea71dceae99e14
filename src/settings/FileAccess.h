#pragma once

#include <QByteArray>
#include <QString>

// Whole files read and replaced so that nothing the program did not write is ever destroyed:
// only regular files are opened (a FIFO or a device never blocks a read), and a replacement is
// checked end to end before it takes the old file's place.
namespace trivex::settings {

struct FileContents {
    QByteArray data;
    bool exists = false;   // false for a missing file (or a symlink to one): empty, not an error
    bool tooLarge = false; // larger than the size asked for; not read
    QString error;         // why the file could not be read; empty when it was read
};

// Reads the file at path whole. A file larger than maxSize is not read.
FileContents readRegularFile(const QString& path, qint64 maxSize);

// A lock on the file that a path reaches: on the file itself (its inode), so that every name of
// it, a second hard link or a symlink, reaches the same lock. Shared to read, exclusive to
// rewrite; a rename that puts a new file in the old one's place is followed (the lock is taken
// again on the file the path names once it is had). Released when destroyed, and by the system
// when its holder ends, so that no lock is ever left over.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock, waiting at most waitMs. True when it is held, and when no regular file is
    // at path (nothing can be read half done there); false, with *why, when the file stays
    // locked that long or cannot be opened.
    bool take(const QString& path, Mode mode, int waitMs, QString* why);

private:
    int fd_ = -1;
};

// Why path cannot take a new content, or empty when it can. A symlink is judged by its target;
// a missing plain file can be created.
QString replaceProblem(const QString& path);

// Replaces the content of path with data: written to a temporary file in the same folder,
// flushed, its size verified and synced before it is renamed over the old file; the new file
// carries the old one's owner, group, mode, ACLs and extended attributes. A symlink is written
// through to its target, never replaced. Where the replacement could not carry all of them (a
// writer who is not the owner, hard links, attributes that cannot be copied) or the folder takes
// no temporary file, the file is rewritten in place, its room reserved first so that a full disk
// refuses before a byte changes. Returns empty on success, otherwise why; the old file is then
// as it was.
QString replaceFile(const QString& path, const QByteArray& data);

// The file a write to path reaches: the target of a symlink, otherwise path itself.
QString writeTarget(const QString& path);

// Removes the temporary files a replacement of target makes (".NAME.XXXXXX" beside it) that
// are still there: to be called only while no replacement of target can be under way.
void removeLeftoverTemporaries(const QString& target);

} // namespace trivex::settings
