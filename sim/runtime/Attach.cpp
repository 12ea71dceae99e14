#include "sim/runtime/Attach.h"

#include "link/LineSettings.h"
#include "link/PortAccess.h"
#include "link/PortMap.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace trivex::sim {

bool serialPortPresent(const QString& path) {
    // A port the user may not open yet is there all the same: the program tells how to get in.
    const QString problem = link::deviceProblem(path);
    return problem.isEmpty() || problem.contains(QLatin1String("permission denied"));
}

AttachOutcome attachToSettings(const QString& iniPath, const QString& linkPath) {
    const QString settingsSection = QStringLiteral("Settings");
    const QString portsSection = QStringLiteral("Ports");
    // A first start: whatever serial ports this machine has (most have an on-board one), the
    // program is tried out on the virtual module until the operator chooses an adapter. A file
    // that names no port leads to the virtual module too: trivex picks no device for it.
    const bool firstStart = !QFileInfo::exists(iniPath) && !QFileInfo(iniPath).isSymLink();
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    settings::IniFile ini(iniPath);
    QString commPort = ini.read(settingsSection, QStringLiteral("CommPort"));
    QList<settings::IniEntry> missing; // written in one go, only where still missing then
    const bool namesAPort = !commPort.trimmed().isEmpty();
    const link::PortMap ports([&](int n) { return ini.read(portsSection, QStringLiteral("COM%1").arg(n)); });
    if (!namesAPort) {
        commPort = QStringLiteral("1");
        missing.append({settingsSection, QStringLiteral("CommPort"), commPort, true});
    }
    if (ini.read(settingsSection, QStringLiteral("Setting")).trimmed().isEmpty()) {
        missing.append({settingsSection, QStringLiteral("Setting"), QStringLiteral("9600,n,8,1"), true});
    }
    const auto number = link::parseCommPort(commPort);
    if (!number) {
        return {
            false,
            QStringLiteral("CommPort \"%1\" in %2 is not a port number; the virtual module is not attached")
                .arg(commPort, iniPath),
            QString()};
    }
    const QString key = QStringLiteral("COM%1").arg(*number);
    const QString mapped = ini.read(portsSection, key);
    const QString device = ports.choice(*number).device;
    if (namesAPort && mapped != linkPath && serialPortPresent(device)) {
        return {false,
                QStringLiteral("%1 is %2, which is present; no virtual module needed").arg(key, device),
                QString()};
    }
    if (!mapped.isEmpty() && mapped != linkPath) {
        return {false,
                QStringLiteral("%1 is mapped to %2, which is not present; the mapping is the operator's and "
                               "stays. To use the virtual module put %1=%3 under [Ports] in %4")
                    .arg(key, mapped, linkPath, iniPath),
                QString()};
    }
    if (mapped.isEmpty()) {
        missing.append({portsSection, key, linkPath, true});
    }
    QStringList changes;
    for (const settings::IniEntry& entry : missing) {
        changes << (entry.section == portsSection ? QStringLiteral("[Ports] ") : QString()) + entry.key +
                       '=' + entry.value;
    }
    if (!missing.isEmpty() && !ini.write(missing)) {
        return {
            true,
            QStringLiteral("%1 would lead to the virtual module at %2, but %3 was not written (%4): put %5 "
                           "there yourself")
                .arg(key, linkPath, iniPath, ini.errorString(), changes.join(QStringLiteral(", "))),
            QString()};
    }
    AttachOutcome outcome{
        true,
        QStringLiteral("%1 leads to the virtual module at %2%3")
            .arg(key, linkPath,
                 changes.isEmpty()
                     ? QString()
                     : QStringLiteral(" (written to %1: %2)").arg(iniPath, changes.join(QLatin1Char(' ')))),
        QString()};
    if (firstStart) {
        outcome.advice = QStringLiteral(
            "no settings yet, so trivex starts on the virtual module; to use a real adapter, choose its COM "
            "number under Communication and press SET");
    }
    return outcome;
}

} // namespace trivex::sim
