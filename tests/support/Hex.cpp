#include "Hex.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace trivex::test {

std::string hex(const char* text) {
    std::string bytes;
    const QStringList tokens = QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& token : tokens) {
        const QStringList parts = token.split(QLatin1Char('*'));
        const char value = static_cast<char>(parts[0].toUInt(nullptr, 16));
        const int count = parts.size() > 1 ? parts[1].toInt() : 1;
        bytes.append(static_cast<std::size_t>(count), value);
    }
    return bytes;
}

QByteArray toHex(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex(' ').toUpper();
}

} // namespace trivex::test
