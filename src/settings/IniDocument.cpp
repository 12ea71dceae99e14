#include "settings/IniDocument.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace trivex::settings {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kUtf16LEBom("\xFF\xFE");
const QByteArray kUtf16BEBom("\xFE\xFF");

// Files written by this program are UTF-8; files from a Windows editor are in its 8-bit code
// page, of which ISO 8859-1 is the common part.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

QByteArray withoutLineEnd(const QByteArray& line) {
    if (line.endsWith("\r\n")) {
        return line.chopped(2);
    }
    return line.endsWith('\n') ? line.chopped(1) : line;
}

bool isComment(const QByteArray& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The name of a section header line ("[ LCD ] anything" is LCD), or no value for another line.
std::optional<QString> sectionOf(const QByteArray& line) {
    const QByteArray trimmed = withoutLineEnd(line).trimmed();
    if (!trimmed.startsWith('[')) {
        return std::nullopt;
    }
    const qsizetype end = trimmed.indexOf(']');
    return decode(trimmed.mid(1, end < 0 ? -1 : end - 1).trimmed());
}

// The key of a key=value line, or no value for a comment, a section or a line without '='.
std::optional<QByteArray> keyOf(const QByteArray& line) {
    const QByteArray trimmed = withoutLineEnd(line).trimmed();
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0 || isComment(trimmed) || trimmed.startsWith('[')) {
        return std::nullopt;
    }
    return trimmed.left(equals).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QByteArray encodeValue(const QString& text) {
    // A line break inside a value would start a new line of the file and could plant keys; a
    // NUL would make the file one that is no longer read.
    QString flat = text;
    for (QChar& c : flat) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.isNull()) {
            c = QLatin1Char(' ');
        }
    }
    // Reading strips blanks around a value and one pair of quotes around it, so a value that
    // has either is written in quotes of its own to come back as it was.
    const QChar quote(QLatin1Char('"'));
    if (!flat.isEmpty() && (isBlank(flat.front()) || isBlank(flat.back()) ||
                            (flat.size() >= 2 && flat.front() == quote && flat.back() == quote))) {
        flat = quote + flat + quote;
    }
    return flat.toUtf8();
}

} // namespace

std::optional<IniDocument> IniDocument::parse(const QByteArray& fileBytes, QString* why) {
    IniDocument document;
    QByteArray text = fileBytes;
    if (text.startsWith(kUtf16LEBom) || text.startsWith(kUtf16BEBom)) {
        const bool little = text.startsWith(kUtf16LEBom);
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        const QString decoded = utf16.decode(text.mid(2));
        if (utf16.hasError() || text.size() % 2 != 0) {
            *why = QStringLiteral("it is not valid UTF-16 text");
            return std::nullopt;
        }
        text = decoded.toUtf8();
        document.encoding_ = little ? Encoding::Utf16LE : Encoding::Utf16BE;
    } else if (text.startsWith(kUtf8Bom)) {
        text.remove(0, kUtf8Bom.size());
        document.encoding_ = Encoding::Utf8WithBom;
    }
    if (text.contains('\0')) {
        *why = QStringLiteral("it holds NUL bytes, so it is no INI file");
        return std::nullopt;
    }
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        document.lines_.append(text.mid(start, next - start));
        start = next;
    }
    for (const QByteArray& line : std::as_const(document.lines_)) {
        const QByteArray trimmed = withoutLineEnd(line).trimmed();
        if (line.endsWith("\r\n")) {
            document.lineEnd_ = "\r\n";
        }
        if (trimmed.isEmpty() || isComment(trimmed)) {
            continue;
        }
        if (!trimmed.startsWith('[')) {
            *why = QStringLiteral("its first line that is not blank or a comment is not a [section] header, "
                                  "so it is no INI file");
            return std::nullopt;
        }
        break;
    }
    return document;
}

IniDocument::Place IniDocument::find(const QString& section, const QString& key) const {
    Place place;
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (const auto name = sectionOf(lines_[i])) {
            if (place.section >= 0) {
                break; // the end of the first section of that name; later ones are not read
            }
            if (sameName(*name, sectionName)) {
                place.section = place.last = i;
            }
            continue;
        }
        if (place.section < 0) {
            continue;
        }
        if (const auto name = keyOf(lines_[i])) {
            place.last = i;
            if (place.key < 0 && sameName(decode(*name), keyName)) {
                place.key = i;
            }
        }
    }
    return place;
}

QString IniDocument::value(const QString& section, const QString& key) const {
    const Place place = find(section, key);
    if (place.key < 0) {
        return {};
    }
    const QByteArray line = withoutLineEnd(lines_[place.key]);
    QString text = decode(line.mid(line.indexOf('=') + 1).trimmed());
    if (text.size() >= 2 && text.front() == QLatin1Char('"') && text.back() == QLatin1Char('"')) {
        text = text.mid(1, text.size() - 2);
    }
    return text.left(kMaxValueLength);
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const Place place = find(section, key);
    auto ended = [this](qsizetype index) {
        if (index >= 0 && !lines_[index].endsWith('\n')) {
            lines_[index] += lineEnd_;
        }
    };
    if (place.key >= 0) {
        // The key keeps the spelling the file gives it, and its line its own line end.
        const QByteArray& old = lines_[place.key];
        const QByteArray end = old.mid(withoutLineEnd(old).size());
        lines_[place.key] = *keyOf(old) + '=' + encodeValue(value) + end;
        return;
    }
    const QByteArray line = key.trimmed().toUtf8() + '=' + encodeValue(value) + lineEnd_;
    if (place.section >= 0) {
        ended(place.last);
        lines_.insert(place.last + 1, line);
        return;
    }
    ended(lines_.size() - 1);
    if (!lines_.isEmpty() && !withoutLineEnd(lines_.last()).trimmed().isEmpty()) {
        lines_.append(lineEnd_);
    }
    lines_.append('[' + section.trimmed().toUtf8() + ']' + lineEnd_);
    lines_.append(line);
}

QByteArray IniDocument::toBytes() const {
    const QByteArray text = lines_.join();
    switch (encoding_) {
    case Encoding::Utf8:
        return text;
    case Encoding::Utf8WithBom:
        return kUtf8Bom + text;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const bool little = encoding_ == Encoding::Utf16LE;
        QStringEncoder utf16(little ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
        return (little ? kUtf16LEBom : kUtf16BEBom) + QByteArray(utf16.encode(decode(text)));
    }
    }
    return text;
}

} // namespace trivex::settings
