// Commissioning 50 modules in a row with trivexctl against virtual modules (in this process,
// each new one connected when the program asks for it), new modules answering at 101: the time
// per module against its floor, the bytes at the line speed plus the reply windows of the check
// at the new address.

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
    // New modules answer at 101: each is checked there (and its new address free) before it is
    // configured, as a production line runs the batch.
    ctl.start(TRIVEXCTL_PATH, {"--port", folder.filePath("bus"), "commission", "--first", "120", "--count",
                               QString::number(kModules), "--from", "101", "--speed", QString::number(kSpeed),
                               "--screen", "LINE 1", "LINE 2", "--chars", set.fileName()});
    if (!QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 120000)) {
        ctl.kill();
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
    std::sort(ms.begin(), ms.end());
    const double median = ms.empty() ? 0 : ms[ms.size() / 2];
    std::printf(
        "commissioning: %zu of %d modules in a row (exit status %d); per module median %.1f ms, max %.1f ms; "
        "floor %.1f ms (%zu bytes at %d bit/s and three 150 ms reply windows): ratio %.2f (target at most "
        "1.5)\n",
        ms.size(), kModules, ctl.exitCode(), median, ms.empty() ? 0 : ms.back(), floor, bytes, kSpeed,
        median / floor);
    return ms.size() == kModules && median <= 1.5 * floor ? 0 : 1;
}
