#include "settings/CharacterSet.h"

#include "protocol/Text.h"
#include "settings/FileAccess.h"
#include "settings/IniDocument.h"

namespace trivex::settings {

namespace {

const QString kSection = QStringLiteral("LCD");

QString keyOf(int cell) {
    return QStringLiteral("Custom%1").arg(cell + 1);
}

} // namespace

std::optional<CharacterSet> readCharacterSet(const QString& path, QString* why) {
    const FileContents contents = readRegularFile(path, IniDocument::kMaxFileSize);
    if (!contents.exists || !contents.error.isEmpty()) {
        *why = contents.exists ? contents.error : QStringLiteral("there is no such file");
        return std::nullopt;
    }
    const std::optional<IniDocument> document = IniDocument::parse(contents.data, why);
    if (!document) {
        return std::nullopt;
    }
    CharacterSet set{};
    for (int cell = 0; cell < static_cast<int>(set.size()); ++cell) {
        const QString value = document->value(kSection, keyOf(cell));
        const auto byte = protocol::parseByte(value.toStdString());
        if (!byte) {
            *why = value.isEmpty() ? QStringLiteral("[LCD] %1 is missing").arg(keyOf(cell))
                                   : QStringLiteral("[LCD] %1=%2 is not a whole number from 0 to 255")
                                         .arg(keyOf(cell), value);
            return std::nullopt;
        }
        set[static_cast<std::size_t>(cell)] = *byte;
    }
    return set;
}

QString writeCharacterSet(const QString& path, const CharacterSet& set) {
    QByteArray text = "; custom characters for trivex: paste into trivex.ini as a prepared set\n[LCD]\n";
    for (int cell = 0; cell < static_cast<int>(set.size()); ++cell) {
        text += keyOf(cell).toUtf8() + '=' + QByteArray::number(set[static_cast<std::size_t>(cell)]) + '\n';
    }
    return replaceFile(path, text);
}

} // namespace trivex::settings
