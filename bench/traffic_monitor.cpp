// The traffic monitor open during a long burst of display commands: every byte still reaches
// the pseudo-terminal, the window keeps up (the event loop's worst lateness during the burst),
// and the memory the monitor holds after 100,000 entries.

#include "BenchSupport.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/tools/TrafficModel.h"
#include "forms/tools/frmTraffic.h"
#include "protocol/Display.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
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

struct Burst {
    double seconds = 0;
    qint64 worstLateMs = 0;
    bool whole = false;
};

// 100,000 display commands written back to back, 500 an event-loop pass as a script or a held
// key would send them, while a 10 ms timer measures how late the event loop runs.
Burst burst(trivex::forms::frmMain& window, int master) {
    const std::string command = trivex::protocol::writeText(std::string(15, 'A'), std::string(16, 'B'));
    const int commands = 100000;
    const int batch = 500;
    const std::size_t total = command.size() * commands;
    trivex::bench::Reader reader(master, total);
    const std::atomic<std::size_t>& received = reader.received;
    QElapsedTimer clock;
    clock.start();
    qint64 expected = 10;
    Burst result;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        result.worstLateMs = std::max(result.worstLateMs, clock.elapsed() - expected);
        expected = clock.elapsed() + 10;
    });
    probe.start(10);
    int sent = 0;
    std::function<void()> sendBatch = [&] {
        for (int i = 0; i < batch && sent < commands; ++i, ++sent) {
            window.session().link().SendCommand(command);
        }
        if (sent < commands) {
            QTimer::singleShot(0, sendBatch);
        }
    };
    QTimer::singleShot(0, sendBatch);
    while ((sent < commands || received < total) && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    result.whole = received == total;
    return result;
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    const trivex::bench::PtyPort port;
    trivex::forms::frmMain window;
    window.show();
    window.mnuTraffic->trigger();
    trivex::forms::frmTraffic& monitor = *window.trafficWindow();
    QCoreApplication::processEvents();
    const double before = residentMiB();

    const Burst open = burst(window, port.master);
    settle();
    std::printf(
        "traffic monitor open: 3.3 MB whole: %s, in %.2f s; event loop at most %lld ms late during the "
        "burst; %d entries kept, %lld let go, %.1f MiB more resident memory\n",
        open.whole ? "yes" : "NO", open.seconds, static_cast<long long>(open.worstLateMs),
        monitor.model().rowCount(), static_cast<long long>(monitor.model().dropped()),
        residentMiB() - before);

    // Paused with the table full: every new entry waits, and the oldest waiting one goes.
    monitor.cmdPause->setChecked(true);
    const Burst paused = burst(window, port.master);
    settle();
    std::printf(
        "traffic monitor paused: 3.3 MB whole: %s, in %.2f s; event loop at most %lld ms late (open: %lld "
        "ms); %s\n",
        paused.whole ? "yes" : "NO", paused.seconds, static_cast<long long>(paused.worstLateMs),
        static_cast<long long>(open.worstLateMs), qPrintable(monitor.lblCount->text()));
    const bool ok = open.whole && paused.whole && open.worstLateMs < 100 &&
                    paused.worstLateMs <= std::max<qint64>(open.worstLateMs, 20);
    return ok ? 0 : 1;
}
