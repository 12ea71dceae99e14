// Bytes per second that reach the pseudo-terminal for a long burst of display commands, each
// written as the panel writes it, read on the far end by a thread of its own.

#include "BenchSupport.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "protocol/Display.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    const trivex::bench::PtyPort port;
    const int master = port.master;
    trivex::forms::frmMain window;

    const std::string command = trivex::protocol::writeText(std::string(15, 'A'), std::string(16, 'B'));
    const int commands = 30000;
    const std::size_t total = command.size() * commands;
    trivex::bench::Reader reader(master, total);
    const std::atomic<std::size_t>& received = reader.received;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < commands; ++i) {
        window.session().link().SendCommand(command);
    }
    while (received < total && wall.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double lineRate = 9600.0 / 10; // bytes per second at 9600 bit/s, 10 bits a byte
    std::printf(
        "throughput: %zu of %zu bytes in %.3f s = %.0f bytes/s, %.0f times the 9600 bit/s line rate\n",
        received.load(), total, seconds, static_cast<double>(received) / seconds,
        static_cast<double>(received) / seconds / lineRate);
    return received == total ? 0 : 1;
}
