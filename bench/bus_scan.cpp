// The bus scan against virtual modules on a pseudo-terminal (in this process): the default
// range and the full one at both speeds against the time the line itself takes, the full one
// again behind an adapter that holds every read up to 16 ms, and in both cases the modules and
// notes found against those of the 150 ms reply window of the exchanges.

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
    QStringList found; // "address@speed note"
};

// One scan of from..to at both speeds, with the modules answering answerMs after a frame
// behind an adapter whose latency timer is latencyMs.
Outcome scan(const QTemporaryDir& folder, int answerMs, int latencyMs, int from, int to, int allowance) {
    std::vector<sim::ModuleSettings> modules;
    for (const auto& [address, speed] :
         {std::pair{7, 9600}, {102, 9600}, {112, 4800}, {120, 9600}, {131, 4800}, {250, 4800}}) {
        modules.emplace_back();
        modules.back().address = static_cast<std::uint8_t>(address);
        modules.back().lineSpeed = speed;
    }
    sim::Bus bus(modules);
    sim::PtyBus pty(bus, answerMs);
    pty.setLatency(latencyMs);
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
        outcome.found << QStringLiteral("%1@%2%3").arg(finding.address).arg(finding.speed).arg(finding.note);
    }
    outcome.found.sort();
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
    // The wire floor of a scan: a 2-byte probe and a 2-byte reply at each speed, and the
    // module's 2 ms answer time, for every address.
    auto floor = [](int addresses) { return addresses * (40.0 / 9600 + 40.0 / 4800 + 2 * 0.002); };
    const Outcome range = scan(folder, 2, 0, 100, 132, 0);
    const Outcome rangeHeld = scan(folder, 2, 16, 100, 132, 0);
    const Outcome full = scan(folder, 2, 0, 0, 255, 0);
    const Outcome held = scan(folder, 2, 16, 0, 255, 0);
    // The 150 ms window of the exchanges (ten ticks, less the wire time that the scan adds), on
    // the default range: 0-255 in it takes over a minute a scan.
    const Outcome wide = scan(folder, 2, 0, 100, 132, 150 - 8);
    const Outcome wideHeld = scan(folder, 2, 16, 100, 132, 150 - 8);
    std::printf("bus scan at 9600 and 4800 bit/s, modules answering 2 ms after a frame:\n"
                "  100-132: %.2f s (wire floor %.2f s; target at most 0.8 s)\n"
                "  0-255: %.2f s (wire floor %.2f s): ratio %.2f (target at most 1.3)\n"
                "  0-255 behind an adapter that holds reads up to 16 ms: %.2f s (target at most 12 s)\n"
                "  0-255 found: %s; behind the adapter: %s\n"
                "  100-132 found: %s; behind the adapter: %s\n"
                "  100-132 in the 150 ms window (%.2f s): %s; behind the adapter (%.2f s): %s\n",
                range.seconds, floor(33), full.seconds, floor(256), full.seconds / floor(256), held.seconds,
                qPrintable(full.found.join(' ')), qPrintable(held.found.join(' ')),
                qPrintable(range.found.join(' ')), qPrintable(rangeHeld.found.join(' ')), wide.seconds,
                qPrintable(wide.found.join(' ')), wideHeld.seconds, qPrintable(wideHeld.found.join(' ')));
    const bool same = full.found.size() == 6 && held.found == full.found && range.found.size() == 4 &&
                      range.found == wide.found && rangeHeld.found == wideHeld.found &&
                      rangeHeld.found == range.found;
    std::printf("  the same modules and notes in every case: %s\n", same ? "yes" : "NO");
    return range.seconds <= 0.8 && full.seconds <= 1.3 * floor(256) && held.seconds <= 12 && same ? 0 : 1;
}
