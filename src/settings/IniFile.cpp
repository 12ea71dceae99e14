#include "settings/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#define SI_NO_CONVERSION  // narrow strings only; bytes pass through as they are
#define SI_IMPLEMENTATION // the template bodies, instantiated here for the narrow type
#include <SimpleIni.h>
#include <string>

namespace trivex::settings {

namespace {

// A settings file is a handful of lines; anything far larger is not one of ours and is read
// only as far as this, so a stray huge file cannot stall a window.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

void configure(CSimpleIniA& ini) {
    ini.SetUnicode(false); // bytes pass through untouched; decoding is done here
    ini.SetMultiKey(true); // keep duplicates so that the first one can win
    ini.SetMultiLine(false);
    // Quotes are handled here, not by the parser: it would drop a pair from every value it
    // loads and write them back without, so each rewrite would strip one more pair.
    ini.SetQuotes(false);
    ini.SetSpaces(false);
}

// Files written by this program are UTF-8; files from a Windows editor are in its 8-bit code
// page, of which ISO 8859-1 is the common part.
QString decode(const char* text) {
    const QByteArray bytes(text);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError()) {
        return QString::fromLatin1(bytes);
    }
    return decoded;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

std::string encode(const QString& text) {
    // A line break inside a value would start a new line of the file and could plant keys; a
    // NUL would end the value early.
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
    return flat.toUtf8().toStdString();
}

std::string nameOf(const QString& name) {
    return name.trimmed().toUtf8().toStdString();
}

// The key as the file spells it, so that rewriting a value keeps the operator's spelling.
std::string spellingIn(const CSimpleIniA& ini, const std::string& section, const std::string& key) {
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(section.c_str(), keys);
    for (const auto& entry : keys) {
        if (!CSimpleIniA::Entry::KeyOrder()(entry, CSimpleIniA::Entry(key.c_str())) &&
            !CSimpleIniA::Entry::KeyOrder()(CSimpleIniA::Entry(key.c_str()), entry)) {
            return entry.pItem;
        }
    }
    return key;
}

// Reads the file's bytes. A missing file is an empty one; any other failure is reported.
bool readData(const QString& path, QByteArray& data, QString* error) {
    QFile file(path);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    data = file.read(kMaxFileSize);
    if (data.startsWith(kUtf8Bom)) {
        data.remove(0, kUtf8Bom.size());
    }
    // The parser stops at a NUL byte; a damaged file must not hide the lines after one.
    data.replace('\0', ' ');
    return true;
}

bool isCommentLine(const QByteArray& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The parser keeps a comment only together with the entry that follows it, so the lines after
// the last entry would be lost on a rewrite. This is what has to be put back after the entries:
// the comments after the last section or key line, or, in a file of comments only, all of it.
QByteArray commentsAfterLastEntry(const QByteArray& data, bool* hasEntries) {
    const QList<QByteArray> lines = data.split('\n');
    qsizetype lastEntry = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray trimmed = lines[i].trimmed();
        if (!trimmed.isEmpty() && !isCommentLine(trimmed)) {
            lastEntry = i;
        }
    }
    *hasEntries = lastEntry >= 0;
    QByteArray tail;
    bool anyComment = false;
    for (qsizetype i = lastEntry + 1; i < lines.size(); ++i) {
        const QByteArray trimmed = lines[i].trimmed();
        anyComment = anyComment || !trimmed.isEmpty();
        tail += trimmed + '\n';
    }
    return anyComment ? tail.trimmed() + '\n' : QByteArray();
}

} // namespace

IniFile::IniFile(QString path)
    : path_(std::move(path)) {
}

QString IniFile::read(const QString& section, const QString& key) const {
    QByteArray data;
    CSimpleIniA ini;
    configure(ini);
    if (!readData(path_, data, nullptr) ||
        ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) {
        return {};
    }
    const char* value = ini.GetValue(nameOf(section).c_str(), nameOf(key).c_str(), nullptr);
    if (!value) {
        return {};
    }
    QString text = decode(value);
    if (text.size() >= 2 && text.front() == QLatin1Char('"') && text.back() == QLatin1Char('"')) {
        text = text.mid(1, text.size() - 2);
    }
    return text.left(kMaxValueLength);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) {
    error_.clear();
    QByteArray data;
    if (!readData(path_, data, &error_)) {
        return false;
    }
    bool hasEntries = false;
    const QByteArray trailingComments = commentsAfterLastEntry(data, &hasEntries);
    CSimpleIniA ini;
    configure(ini);
    // In a file of comments only, the comments are kept whole below and the entries follow them.
    if (hasEntries && ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) {
        error_ = QStringLiteral("the file could not be read");
        return false;
    }
    // A rename would replace a file that its owner made read-only; refuse as a direct write
    // would. The permission bits count, so that even root leaves a read-only file alone.
    const QFileInfo info(path_);
    if (info.exists() && (!(info.permissions() & QFileDevice::WriteOwner) || !info.isWritable())) {
        error_ = QStringLiteral("the file is read-only");
        return false;
    }
    const std::string encoded = encode(value);
    const std::string sectionName = nameOf(section);
    const std::string keyName = spellingIn(ini, sectionName, nameOf(key));
    if (ini.SetValue(sectionName.c_str(), keyName.c_str(), encoded.c_str(), nullptr, true) < 0) {
        error_ = QStringLiteral("the value could not be stored");
        return false;
    }
    std::string entries;
    if (ini.Save(entries) < 0) {
        error_ = QStringLiteral("the file could not be composed");
        return false;
    }
    QByteArray text = QByteArray::fromStdString(entries);
    if (!trailingComments.isEmpty()) {
        text = hasEntries ? text + '\n' + trailingComments : trailingComments + '\n' + text;
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        error_ = file.errorString();
        return false;
    }
    file.write(text);
    if (!file.commit()) {
        error_ = file.errorString();
        return false;
    }
    return true;
}

} // namespace trivex::settings
