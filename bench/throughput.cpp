// Bytes per second that reach the pseudo-terminal for a long burst of display commands, each
// written as the panel writes it, read on the far end by a thread of its own.

#include "forms/Style.h"
#include "forms/frmMain.h"
#include "protocol/Display.h"
#include "settings/IniFile.h"
#include "settings/Profile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    trivex::forms::applyApplicationStyle(app);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    QTemporaryDir folder;
    const QString ini = folder.filePath(QStringLiteral("trivex.ini"));
    trivex::settings::IniFile file(ini);
    file.write(QStringLiteral("Settings"), QStringLiteral("CommPort"), QStringLiteral("1"));
    file.write(QStringLiteral("Settings"), QStringLiteral("Setting"), QStringLiteral("9600,n,8,1"));
    file.write(QStringLiteral("Ports"), QStringLiteral("COM1"), QString::fromLocal8Bit(ptsname(master)));
    trivex::settings::useSettingsFile(ini);
    trivex::forms::frmMain window;

    const std::string command = trivex::protocol::writeText(std::string(15, 'A'), std::string(16, 'B'));
    const int commands = 30000;
    const std::size_t total = command.size() * commands;
    std::atomic<std::size_t> received{0};
    std::thread reader([&] {
        char buffer[65536];
        while (received < total) {
            pollfd fd{master, POLLIN, 0};
            if (poll(&fd, 1, 2000) <= 0) {
                break;
            }
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                received += static_cast<std::size_t>(n);
            }
        }
    });
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < commands; ++i) {
        window.variables().strCommand = command;
        window.serialLink().SendCommand();
    }
    while (received < total && wall.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    reader.join();
    const double lineRate = 9600.0 / 10; // bytes per second at 9600 bit/s, 10 bits a byte
    std::printf(
        "throughput: %zu of %zu bytes in %.3f s = %.0f bytes/s, %.0f times the 9600 bit/s line rate\n",
        received.load(), total, seconds, static_cast<double>(received) / seconds,
        static_cast<double>(received) / seconds / lineRate);
    return received == total ? 0 : 1;
}
