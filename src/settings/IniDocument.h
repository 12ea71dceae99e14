#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace trivex::settings {

// The text of one INI file, read in the manner of the Windows private-profile calls the format
// comes from: section and key names compared without regard to case, blanks around names and
// values trimmed, one pair of surrounding double quotes stripped, the first of duplicate
// sections and keys wins, lines starting with ';' or '#' are comments, lines before the first
// section (a title, a stray key) are skipped. A change rewrites only the line of its key (or
// adds one); every other line stays as it was, byte for byte.
class IniDocument {
public:
    // A file larger than this is not a settings file, and no write makes one larger.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // Longest value handed back; longer values arrive cut, as from a 255-character buffer.
    static constexpr int kMaxValueLength = 254;

    // The document of a file's bytes. Its encoding is judged once, for the whole file: UTF-16
    // or UTF-8 by its byte order mark, UTF-8 when every byte sequence is valid UTF-8, otherwise
    // 8-bit Latin-1 (as Windows programs write it). No value, and *why set, for text that is
    // no INI file: NUL bytes, or lines of content without any [section] header.
    static std::optional<IniDocument> parse(const QByteArray& fileBytes, QString* why);

    // The value text, or the empty string for a missing section or key.
    QString value(const QString& section, const QString& key) const;

    // Stores value under key in section, creating either where missing: a new key after the
    // last key of its section, a new section at the end. Returns why not (nothing changed) when
    // the file's encoding cannot hold the text; empty when stored.
    QString setValue(const QString& section, const QString& key, const QString& value);

    // The whole file again, in the encoding it was read in.
    QByteArray toBytes() const;

private:
    enum class Encoding { Utf8, Utf8WithBom, Latin1, Utf16LE, Utf16BE };
    struct Place {
        qsizetype section = -1; // line of the section header
        qsizetype key = -1;     // line of the key
        qsizetype last = -1;    // last key line of the section (or its header)
    };
    Place find(const QString& section, const QString& key) const;
    // The lines' bytes as text and back, in the lines' own encoding (UTF-16 files are held as
    // UTF-8 lines); no value for text the encoding cannot hold.
    QString text(const QByteArray& bytes) const;
    std::optional<QByteArray> bytes(const QString& text) const;
    std::optional<QString> sectionOf(const QByteArray& line) const;
    std::optional<QString> keyOf(const QByteArray& line) const;

    QList<QByteArray> lines_; // each with its own line end
    QByteArray lineEnd_ = "\n";
    Encoding encoding_ = Encoding::Utf8;
};

} // namespace trivex::settings
