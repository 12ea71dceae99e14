#pragma once

#include <QString>

namespace trivex::settings {

// One INI file on disk, read and written one key at a time in the manner of the Windows
// private-profile calls the format comes from: names compared without regard to case, blanks
// around names and values trimmed, one pair of surrounding double quotes stripped, the first
// of duplicate keys wins, comments, unknown sections and key order kept on a write.
// Nothing stays open between calls.
class IniFile {
public:
    // Longest value handed back; longer values arrive cut, as from a 255-character buffer.
    static constexpr int kMaxValueLength = 254;

    explicit IniFile(QString path);

    const QString& path() const { return path_; }

    // The value text, or the empty string for a missing file, section or key.
    QString read(const QString& section, const QString& key) const;

    // Creates the file, section or key where missing. The new file replaces the old one in a
    // single rename, so a crash never leaves half a file. Returns false, and changes nothing on
    // disk, when the file cannot be written; errorString() then says why.
    bool write(const QString& section, const QString& key, const QString& value);

    const QString& errorString() const { return error_; }

private:
    QString path_;
    QString error_;
};

} // namespace trivex::settings
