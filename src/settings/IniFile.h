#pragma once

#include <QList>
#include <QString>

namespace trivex::settings {

// One key to store: section, key and value text.
struct IniEntry {
    QString section;
    QString key;
    QString value;
    // Stored only where the file lacks the key (or holds it empty) by the time it is written: a
    // value shown but left alone, which must not be put back over another copy's change or a
    // hand edit.
    bool onlyIfMissing = false;
};

// One INI file on disk, read one key at a time and written several keys at a time. Nothing
// stays open between calls. Every write is one read-modify-write of the whole file under a
// lock that other copies of the program honour, checked end to end before the new file takes
// the old one's place (FileAccess.h). A file that is no INI file reads as empty and is never
// written.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return path_; }

    // The value text, or the empty string for a missing or unreadable file, section or key.
    QString read(const QString& section, const QString& key) const;

    // Why the file cannot be read as settings (not a regular file, no INI file, too large);
    // empty for a readable or a missing file.
    QString readProblem() const;

    // Stores the entries in one rewrite, creating the file, sections and keys where missing,
    // in the file's own encoding. Returns false, and changes nothing on disk, when the file
    // cannot be written, cannot hold a value, or would grow past the size of a settings file;
    // errorString() then says why. Temporary files that writers killed before their rename
    // left behind are removed.
    bool write(const QList<IniEntry>& entries);
    bool write(const QString& section, const QString& key, const QString& value) {
        return write({{section, key, value}});
    }

    const QString& errorString() const { return error_; }

private:
    QString path_;
    QString error_;
};

} // namespace trivex::settings
