#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace trivex::settings {

// The text of one INI file, read in the manner of the Windows private-profile calls the format
// comes from: section and key names compared without regard to case, blanks around names and
// values trimmed, one pair of surrounding double quotes stripped, the first of duplicate
// sections and keys wins, lines starting with ';' or '#' are comments. A change rewrites only
// the line of its key (or adds one); every other line stays as it was, byte for byte.
class IniDocument {
public:
    // A file larger than this is not a settings file.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // Longest value handed back; longer values arrive cut, as from a 255-character buffer.
    static constexpr int kMaxValueLength = 254;

    // The document of a file's bytes (UTF-8 or an 8-bit code page, or UTF-16 with its byte
    // order mark). No value, and *why set, for text that is no INI file: NUL bytes, or a first
    // line that is neither blank, a comment nor a [section] header.
    static std::optional<IniDocument> parse(const QByteArray& fileBytes, QString* why);

    // The value text, or the empty string for a missing section or key.
    QString value(const QString& section, const QString& key) const;

    // Stores value under key in section, creating either where missing: a new key after the
    // last key of its section, a new section at the end.
    void setValue(const QString& section, const QString& key, const QString& value);

    // The whole file again, in the encoding it was read in.
    QByteArray toBytes() const;

private:
    enum class Encoding { Utf8, Utf8WithBom, Utf16LE, Utf16BE };
    struct Place {
        qsizetype section = -1; // line of the section header
        qsizetype key = -1;     // line of the key
        qsizetype last = -1;    // last key line of the section (or its header)
    };
    Place find(const QString& section, const QString& key) const;

    QList<QByteArray> lines_; // each with its own line end
    QByteArray lineEnd_ = "\n";
    Encoding encoding_ = Encoding::Utf8;
};

} // namespace trivex::settings
