#include "Bench.h"

#include "link/Devices.h"
#include "settings/IniFile.h"
#include "settings/Profile.h"

#include <QFile>
#include <cstdio>
#include <unistd.h>

namespace trivex::test {

Bench::Bench(const QString& commPort, const QString& setting) {
    settings::useSettingsFile(iniPath());
    // The machine's own serial devices would give COM numbers of their own: none are seen.
    link::setDeviceSource([] { return std::vector<link::SerialDevice>{}; });
    if (!commPort.isNull()) {
        set(QStringLiteral("Settings"), QStringLiteral("CommPort"), commPort);
    }
    if (!setting.isNull()) {
        set(QStringLiteral("Settings"), QStringLiteral("Setting"), setting);
    }
    set(QStringLiteral("Ports"), QStringLiteral("COM1"), peer.slavePath());
}

void Bench::set(const QString& section, const QString& key, const QString& value) const {
    settings::IniFile(iniPath()).write(section, key, value);
}

QString Bench::get(const QString& section, const QString& key) const {
    return settings::IniFile(iniPath()).read(section, key);
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString captureStderr(const std::function<void()>& action) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    FILE* sink = std::tmpfile();
    ::dup2(::fileno(sink), STDERR_FILENO);
    action();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::rewind(sink);
    QByteArray text;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, sink)) > 0;) {
        text.append(buffer, static_cast<qsizetype>(n));
    }
    std::fclose(sink);
    return QString::fromLocal8Bit(text);
}

} // namespace trivex::test
