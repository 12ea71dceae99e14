#include "settings/IniDocument.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace trivex::settings {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
const QByteArray kUtf16LEBom("\xFF\xFE");
const QByteArray kUtf16BEBom("\xFE\xFF");

QByteArray withoutLineEnd(const QByteArray& line) {
    if (line.endsWith("\r\n")) {
        return line.chopped(2);
    }
    return line.endsWith('\n') ? line.chopped(1) : line;
}

bool isComment(const QByteArray& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = utf8.decode(bytes);
    return !utf8.hasError();
}

// A value as a line holds it: a line break inside it would start a new line of the file and
// could plant keys, a NUL would make the file one that is no longer read; blanks around it and
// a pair of quotes around it would be stripped on reading, so such a value gets quotes of its own.
QString flattened(const QString& text) {
    QString flat = text;
    for (QChar& c : flat) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.isNull()) {
            c = QLatin1Char(' ');
        }
    }
    const QChar quote(QLatin1Char('"'));
    if (!flat.isEmpty() && (isBlank(flat.front()) || isBlank(flat.back()) ||
                            (flat.size() >= 2 && flat.front() == quote && flat.back() == quote))) {
        flat = quote + flat + quote;
    }
    return flat;
}

} // namespace

QString IniDocument::text(const QByteArray& bytes) const {
    return encoding_ == Encoding::Latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

std::optional<QByteArray> IniDocument::bytes(const QString& text) const {
    if (encoding_ != Encoding::Latin1) {
        return text.toUtf8();
    }
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; })) {
        return std::nullopt;
    }
    return text.toLatin1();
}

// The name of a section header line ("[ LCD ] anything" is LCD), or no value for another line.
std::optional<QString> IniDocument::sectionOf(const QByteArray& line) const {
    const QByteArray trimmed = withoutLineEnd(line).trimmed();
    if (!trimmed.startsWith('[')) {
        return std::nullopt;
    }
    const qsizetype end = trimmed.indexOf(']');
    return text(trimmed.mid(1, end < 0 ? -1 : end - 1).trimmed());
}

// The key of a key=value line, or no value for a comment, a section or a line without '='.
std::optional<QString> IniDocument::keyOf(const QByteArray& line) const {
    const QByteArray trimmed = withoutLineEnd(line).trimmed();
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0 || isComment(trimmed) || trimmed.startsWith('[')) {
        return std::nullopt;
    }
    return text(trimmed.left(equals).trimmed());
}

std::optional<IniDocument> IniDocument::parse(const QByteArray& fileBytes, QString* why) {
    IniDocument document;
    QByteArray content = fileBytes;
    if (content.startsWith(kUtf16LEBom) || content.startsWith(kUtf16BEBom)) {
        const bool little = content.startsWith(kUtf16LEBom);
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        const QString decoded = utf16.decode(content.mid(2));
        if (utf16.hasError() || content.size() % 2 != 0) {
            *why = QStringLiteral("it is not valid UTF-16 text");
            return std::nullopt;
        }
        content = decoded.toUtf8();
        document.encoding_ = little ? Encoding::Utf16LE : Encoding::Utf16BE;
    } else if (content.startsWith(kUtf8Bom)) {
        content.remove(0, kUtf8Bom.size());
        document.encoding_ = Encoding::Utf8WithBom;
    } else if (!isValidUtf8(content)) {
        document.encoding_ = Encoding::Latin1;
    }
    if (content.contains('\0')) {
        *why = QStringLiteral("it holds NUL bytes, so it is no INI file");
        return std::nullopt;
    }
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype end = content.indexOf('\n', start);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        document.lines_.append(content.mid(start, next - start));
        start = next;
    }
    bool contentLines = false;
    bool sections = false;
    for (const QByteArray& line : std::as_const(document.lines_)) {
        const QByteArray trimmed = withoutLineEnd(line).trimmed();
        if (line.endsWith("\r\n")) {
            document.lineEnd_ = "\r\n";
        }
        contentLines = contentLines || !(trimmed.isEmpty() || isComment(trimmed));
        sections = sections || trimmed.startsWith('[');
    }
    if (contentLines && !sections) {
        *why = QStringLiteral("it has no [section] header, so it is no INI file");
        return std::nullopt;
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
            if (place.key < 0 && sameName(*name, keyName)) {
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
    QString value = text(line.mid(line.indexOf('=') + 1).trimmed());
    if (value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"')) {
        value = value.mid(1, value.size() - 2);
    }
    return value.left(kMaxValueLength);
}

QString IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const std::optional<QByteArray> valueBytes = bytes(flattened(value));
    const std::optional<QByteArray> keyBytes = bytes(key.trimmed());
    const std::optional<QByteArray> sectionBytes = bytes(section.trimmed());
    if (!valueBytes || !keyBytes || !sectionBytes) {
        return QStringLiteral("the file is 8-bit text (Latin-1), which cannot hold \"%1\"").arg(value);
    }
    const Place place = find(section, key);
    auto ended = [this](qsizetype index) {
        if (index >= 0 && !lines_[index].endsWith('\n')) {
            lines_[index] += lineEnd_;
        }
    };
    if (place.key >= 0) {
        // The key keeps the spelling the file gives it, and its line its own line end.
        const QByteArray& old = lines_[place.key];
        const QByteArray line = withoutLineEnd(old);
        lines_[place.key] = line.left(line.indexOf('=')).trimmed() + '=' + *valueBytes + old.mid(line.size());
        return {};
    }
    const QByteArray line = *keyBytes + '=' + *valueBytes + lineEnd_;
    if (place.section >= 0) {
        ended(place.last);
        lines_.insert(place.last + 1, line);
        return {};
    }
    ended(lines_.size() - 1);
    if (!lines_.isEmpty() && !withoutLineEnd(lines_.last()).trimmed().isEmpty()) {
        lines_.append(lineEnd_);
    }
    lines_.append('[' + *sectionBytes + ']' + lineEnd_);
    lines_.append(line);
    return {};
}

QByteArray IniDocument::toBytes() const {
    const QByteArray content = lines_.join();
    switch (encoding_) {
    case Encoding::Utf8:
    case Encoding::Latin1:
        return content;
    case Encoding::Utf8WithBom:
        return kUtf8Bom + content;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const bool little = encoding_ == Encoding::Utf16LE;
        QStringEncoder utf16(little ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
        return (little ? kUtf16LEBom : kUtf16BEBom) + QByteArray(utf16.encode(QString::fromUtf8(content)));
    }
    }
    return content;
}

} // namespace trivex::settings
