// The bus scan against virtual modules on a pseudo-terminal (in this process): the default
// range and the full one at both speeds, and the modules found in the default window against
// those found in the 150 ms reply window of the exchanges, with modules that answer late.

#include "link/BusScan.h"
#include "session/PortSession.h"
#include "settings/IniFile.h"
#include "settings/Profile.h"
#include "sim/runtime/PtyBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <cstdio>

using namespace trivex;

namespace {

struct Outcome {
    double seconds = 0;
    QStringList found; // "address@speed"
};

// One scan of from..to at both speeds, with the modules answering answerMs after a frame.
Outcome scan(const QTemporaryDir& folder, int answerMs, int from, int to, int allowance) {
    std::vector<sim::ModuleSettings> modules;
    for (const auto& [address, speed] :
         {std::pair{7, 9600}, {102, 9600}, {112, 4800}, {120, 9600}, {131, 4800}, {250, 4800}}) {
        modules.emplace_back();
        modules.back().address = static_cast<std::uint8_t>(address);
        modules.back().lineSpeed = speed;
    }
    sim::Bus bus(modules);
    sim::PtyBus pty(bus, answerMs);
    QString error;
    if (!pty.open(folder.filePath(QStringLiteral("bus")), &error)) {
        qFatal("%s", qPrintable(error));
    }
    session::PortSession session;
    session.openAtStartUp();
    link::BusScan probe(session.link());
    probe.setAnswerAllowance(allowance);
    QEventLoop loop;
    QObject::connect(&probe, &link::BusScan::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    probe.start(from, to, {9600, 4800});
    loop.exec();
    Outcome outcome{static_cast<double>(timer.nsecsElapsed()) / 1e9, {}};
    for (const link::ScanFinding& finding : probe.findings()) {
        outcome.found << QStringLiteral("%1@%2").arg(finding.address).arg(finding.speed);
    }
    return outcome;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString ini = folder.filePath(QStringLiteral("trivex.ini"));
    settings::IniFile(ini).write(
        {{QStringLiteral("Settings"), QStringLiteral("CommPort"), QStringLiteral("1")},
         {QStringLiteral("Settings"), QStringLiteral("Setting"), QStringLiteral("9600,n,8,1")},
         {QStringLiteral("Ports"), QStringLiteral("COM1"), folder.filePath(QStringLiteral("bus"))}});
    settings::useSettingsFile(ini);
    const int allowance = link::kDefaultAnswerAllowanceMs;
    const Outcome range = scan(folder, 2, 100, 132, allowance);
    const Outcome full = scan(folder, 2, 0, 255, allowance);
    // The wire floor of a full scan: a 2-byte probe and a 2-byte reply at each speed, and the
    // module's 2 ms answer time, for all 256 addresses.
    const double floor = 256 * (40.0 / 9600 + 40.0 / 4800 + 2 * 0.002);
    std::printf(
        "bus scan, 100-132 at 9600 and 4800 bit/s: %.2f s (target at most 2 s); 0-255: %.2f s (target at "
        "most 12 s; wire floor %.1f s); found %s\n",
        range.seconds, full.seconds, floor, qPrintable(full.found.join(' ')));
    // The 150 ms window of the exchanges: ten ticks, less the wire time that the scan adds.
    bool same = full.found.size() == 6;
    for (const int answerMs : {2, allowance}) {
        const Outcome wide = scan(folder, answerMs, 100, 132, 150 - 8);
        const Outcome narrow = scan(folder, answerMs, 100, 132, allowance);
        std::printf("  answering after %d ms: %s in the 150 ms window (%.1f s), %s in the default window\n",
                    answerMs, qPrintable(wide.found.join(' ')), wide.seconds,
                    qPrintable(narrow.found.join(' ')));
        same = same && wide.found == narrow.found && wide.found.size() == 4;
    }
    return range.seconds <= 2 && full.seconds <= 12 && same ? 0 : 1;
}
