// A serial adapter pulled and plugged back: the CPU time the program uses while it waits for the
// device to return, and how long after its return the port is open again. The adapter is a
// pseudo-terminal behind a symlink that disappears and comes back.

#include "BenchSupport.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "link/Devices.h"
#include "settings/Profile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// A pseudo-terminal pair, the far end kept here; the symlink at link leads to its near end.
int plugIn(const QString& link) {
    const int master = trivex::bench::openFarEnd();
    QFile::link(QString::fromLocal8Bit(ptsname(master)), link);
    return master;
}

// Runs the event loop, asleep between events, until condition holds or limitMs have passed.
void waitFor(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    QTimer wake;
    wake.start(1);
    while (!condition() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    trivex::link::setDeviceSource([] { return std::vector<trivex::link::SerialDevice>{}; });
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("ttyUSB0"));
    const QString ini = folder.filePath(QStringLiteral("trivex.ini"));
    QFile file(ini);
    file.open(QIODevice::WriteOnly);
    file.write("[Settings]\nCommPort=1\nSetting=9600,n,8,1\n[Ports]\nCOM1=" + link.toLocal8Bit() + "\n");
    file.close();
    trivex::settings::useSettingsFile(ini);
    int master = plugIn(link);
    trivex::forms::frmMain window;
    auto& port = window.session().MSComm1();

    close(master); // pulled
    QFile::remove(link);
    waitFor([&] { return !port.PortOpen(); }, 5000);
    const int waitMs = 10000;
    const double cpu = trivex::bench::cpuSeconds();
    QElapsedTimer waited;
    waited.start();
    QEventLoop idle; // the program's own loop, with nothing to do but wait for the device
    QTimer::singleShot(waitMs, &idle, &QEventLoop::quit);
    idle.exec();
    const double seconds = static_cast<double>(waited.nsecsElapsed()) / 1e9;
    const double used = trivex::bench::cpuSeconds() - cpu;

    QElapsedTimer back;
    master = plugIn(link); // plugged back
    back.start();
    waitFor([&] { return port.PortOpen(); }, 5000);
    std::printf("device away: CPU %.1f ms in %.1f s of waiting = %.3f %%; port open again %.0f ms after the "
                "device returned\n",
                used * 1000, seconds, 100 * used / seconds, static_cast<double>(back.nsecsElapsed()) / 1e6);
    close(master);
    return port.isWatching() ? 1 : 0;
}
