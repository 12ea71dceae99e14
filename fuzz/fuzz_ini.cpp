// The settings file: any file content must read without a crash or a hang; a write must either
// take (and read back) or leave the file byte for byte as it was; and a run of writes of random
// sections, keys and values must read back what was written.

#include "Check.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPair>
#include <QTemporaryDir>
#include <cstdint>

using trivex::settings::IniFile;

namespace {

// Names as the program forms them: no characters that the INI syntax gives a meaning to.
QString nameFrom(const std::uint8_t*& data, const std::uint8_t* end) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_- .";
    QString name;
    const int length = data < end ? 1 + *data++ % 12 : 1;
    for (int i = 0; i < length && data < end; ++i) {
        name += QLatin1Char(alphabet[*data++ % (sizeof alphabet - 1)]);
    }
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("k") : name;
}

// Values may hold anything a text box can: any character but line breaks, blanks and quotes
// anywhere.
QString valueFrom(const std::uint8_t*& data, const std::uint8_t* end) {
    QString value;
    const int length = data < end ? *data++ % 40 : 0;
    for (int i = 0; i < length && data < end; ++i) {
        const std::uint8_t byte = *data++;
        value += byte == 0x7F ? QChar(0x20AC) : QChar(byte < 0x20 ? (byte % 3 == 0 ? u'"' : u' ') : byte);
    }
    return value;
}

// In memory where there is a tmpfs: every write is made durable, which a disk makes slow.
QTemporaryDir& folder() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/trivex-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/trivex-fuzz-XXXXXX"));
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_ini";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    if (size == 0) {
        return 0;
    }
    const QString path = folder().filePath(QStringLiteral("trivex.ini"));
    const std::uint8_t* end = data + size;
    if (data[0] & 1) {
        // Any content: read a few keys and write one; the result must be a file that reads back.
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
        file.close();
        IniFile ini(path);
        ini.read(QStringLiteral("Settings"), QStringLiteral("CommPort"));
        ini.read(QStringLiteral("LCD"), QStringLiteral("Custom64"));
        const bool readable = ini.readProblem().isEmpty();
        const bool written = ini.write(QStringLiteral("LCD"), QStringLiteral("UID"), QStringLiteral("101"));
        FUZZ_CHECK(written == readable);
        if (written) {
            FUZZ_CHECK(ini.read(QStringLiteral("LCD"), QStringLiteral("UID")) == QStringLiteral("101"));
        } else {
            QFile after(path);
            after.open(QIODevice::ReadOnly);
            FUZZ_CHECK(after.readAll() ==
                       QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
        }
        return 0;
    }
    QFile::remove(path);
    IniFile ini(path);
    QMap<QPair<QString, QString>, QString> written;
    ++data;
    while (data < end) {
        const QString section = nameFrom(data, end);
        const QString key = nameFrom(data, end);
        const QString value = valueFrom(data, end);
        FUZZ_CHECK(ini.write(section, key, value));
        written[{section.toLower(), key.toLower()}] = value;
    }
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        const QString read = ini.read(it.key().first, it.key().second);
        if (read != it.value()) {
            std::fprintf(stderr, "[%s] %s: wrote \"%s\", read \"%s\"\n", qPrintable(it.key().first),
                         qPrintable(it.key().second), qPrintable(it.value()), qPrintable(read));
        }
        FUZZ_CHECK(read == it.value());
    }
    return 0;
}
