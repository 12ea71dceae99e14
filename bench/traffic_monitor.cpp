// The traffic monitor open during a long burst of display commands: every byte still reaches
// the pseudo-terminal, the window keeps up (the event loop's worst lateness during the burst),
// and the memory the monitor holds after 100,000 entries.

#include "BenchSupport.h"
#include "forms/Style.h"
#include "forms/TrafficModel.h"
#include "forms/frmMain.h"
#include "forms/frmTraffic.h"
#include "protocol/Display.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    const trivex::bench::PtyPort port;
    const int master = port.master;
    trivex::forms::frmMain window;
    window.show();
    window.mnuTraffic->trigger();
    trivex::forms::frmTraffic& monitor = *window.trafficWindow();
    QCoreApplication::processEvents();
    const double before = residentMiB();

    const std::string command = trivex::protocol::writeText(std::string(15, 'A'), std::string(16, 'B'));
    const int commands = 100000;
    const int batch = 500; // commands an event-loop pass, as a script or a held key would send them
    const std::size_t total = command.size() * commands;
    trivex::bench::Reader reader(master, total);
    const std::atomic<std::size_t>& received = reader.received;
    // How late a 10 ms timer fires while the burst runs: the event loop's worst lateness.
    QElapsedTimer clock;
    clock.start();
    qint64 expected = 10;
    qint64 worst = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - expected);
        expected = clock.elapsed() + 10;
    });
    probe.start(10);
    int sent = 0;
    std::function<void()> sendBatch = [&] {
        for (int i = 0; i < batch && sent < commands; ++i, ++sent) {
            window.variables().strCommand = command;
            window.serialLink().SendCommand();
        }
        if (sent < commands) {
            QTimer::singleShot(0, sendBatch);
        }
    };
    QTimer::singleShot(0, sendBatch);
    while ((sent < commands || received < total) && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QCoreApplication::processEvents();
    std::printf(
        "traffic monitor open: %zu of %zu bytes in %.2f s; event loop at most %lld ms late during the burst; "
        "%d entries kept, %lld let go, %.1f MiB more resident memory\n",
        received.load(), total, seconds, static_cast<long long>(worst), monitor.model().rowCount(),
        static_cast<long long>(monitor.model().dropped()), residentMiB() - before);
    return received == total && worst < 100 ? 0 : 1;
}
