// Commissioning modules in a row with trivexctl against virtual modules (in this process, each
// new one connected when the program asks for it): the time per module against its floor, the
// bytes at the line speed and the reply windows of the verification, with --from (50 modules)
// and without it, where a scan of the whole bus is part of each module's cost (5 modules).

#include "link/Link.h"
#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Selection.h"
#include "sim/runtime/PtyBus.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

using namespace trivex;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int kModules = 50;
    constexpr int kSpeed = 9600;
    QTemporaryDir folder;
    QFile set(folder.filePath("set.ini"));
    set.open(QIODevice::WriteOnly);
    set.write("[LCD]\n");
    for (int cell = 1; cell <= 64; ++cell) {
        set.write(QStringLiteral("Custom%1=%2\n").arg(cell).arg(cell % 32).toUtf8());
    }
    set.close();
    sim::Bus bus({sim::ModuleSettings{}});
    sim::PtyBus pty(bus, 2);
    QString error;
    if (!pty.open(folder.filePath("bus"), &error)) {
        qFatal("%s", qPrintable(error));
    }
    // The floor: every byte of the four configuration commands at the line speed, the reply
    // windows of the select, the input query and the release, and the default screen's command.
    std::size_t bytes = 0;
    for (const protocol::ConfigurationCommand& command :
         {protocol::setUid(120), protocol::setDefaultScreen(std::string(16, ' '), std::string(16, ' ')),
          protocol::loadCustomCharacters({}), protocol::setLineSpeed(protocol::LineSpeed::Baud9600)}) {
        bytes += command.write1.size() + command.write2.size();
    }
    bytes += protocol::showDefaultScreen().size();
    const double floor = protocol::wireMs(bytes, kSpeed) +
                         3.0 * link::kReplyTicks * static_cast<double>(link::kTickLength.count());
    // A scan of every address at both speeds on the wire: a 2-byte probe, a 2-byte reply and a
    // module's 2 ms answer time each.
    const double scanFloor = 256 * (protocol::wireMs(4, 9600) + protocol::wireMs(4, 4800) + 2 * 2.0);
    bool met = true;
    // New modules answering at 101 (checked there, and the new address free), as a production
    // line runs the batch; then without --from, where a scan of the whole bus checks that one
    // module is there.
    for (const auto& [modules, from] : {std::pair{kModules, true}, std::pair{5, false}}) {
        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TRIVEX_INI", folder.filePath("trivex.ini"));
        ctl.setProcessEnvironment(environment);
        std::vector<double> ms;
        QObject::connect(&ctl, &QProcess::readyReadStandardOutput, [&] {
            while (ctl.canReadLine()) {
                const QString line = QString::fromUtf8(ctl.readLine());
                if (line.startsWith("Connect module")) {
                    bus.modules().assign(1, sim::Module()); // the last one goes, a new one comes
                    ctl.write("\n");
                }
                const auto took = QRegularExpression("^ok +([0-9.]+) ms  commission").match(line);
                if (took.hasMatch()) {
                    ms.push_back(took.captured(1).toDouble());
                }
            }
        });
        QStringList args{"--port",
                         folder.filePath("bus"),
                         "commission",
                         "--first",
                         "120",
                         "--count",
                         QString::number(modules),
                         "--speed",
                         QString::number(kSpeed),
                         "--screen",
                         "LINE 1",
                         "LINE 2",
                         "--chars",
                         set.fileName()};
        if (from) {
            args << "--from"
                 << "101";
        }
        ctl.start(TRIVEXCTL_PATH, args);
        if (!QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 600000)) {
            ctl.kill();
        }
        std::sort(ms.begin(), ms.end());
        const double median = ms.empty() ? 0 : ms[ms.size() / 2];
        const double against = from ? floor : floor + scanFloor;
        const double target = from ? 1.5 : 1.3;
        std::printf(
            "commissioning %s: %zu of %d modules in a row (exit status %d); per module median %.1f ms, "
            "max %.1f ms; floor %.1f ms (%zu bytes at %d bit/s and three 150 ms reply windows%s): ratio "
            "%.2f (target at most %.1f)\n",
            from ? "with --from 101" : "without --from", ms.size(), modules, ctl.exitCode(), median,
            ms.empty() ? 0 : ms.back(), against, bytes, kSpeed,
            from ? ""
                 : qPrintable(QStringLiteral(", and a scan of 0-255 at both speeds, %1 ms")
                                  .arg(scanFloor, 0, 'f', 0)),
            median / against, target);
        met = met && static_cast<int>(ms.size()) == modules && median <= target * against;
    }
    return met ? 0 : 1;
}
