#pragma once

// What several benchmark programs need: a pseudo-terminal whose far end they hold, with a
// settings file that leads COM1 to it, a thread that counts what arrives there, and CPU time.

#include "settings/IniFile.h"
#include "settings/Profile.h"

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <cstddef>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace trivex::bench {

// The far end of a new pseudo-terminal pair, raw; ptsname() names the near end.
inline int openFarEnd() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    return master;
}

// A pseudo-terminal for the program's port: a settings file of this run (in a folder of its
// own) leads COM1 at 9600 bit/s to its near end; the benchmark holds the far end.
struct PtyPort {
    PtyPort() {
        const QString ini = folder.filePath(QStringLiteral("trivex.ini"));
        settings::IniFile(ini).write(
            {{QStringLiteral("Settings"), QStringLiteral("CommPort"), QStringLiteral("1")},
             {QStringLiteral("Settings"), QStringLiteral("Setting"), QStringLiteral("9600,n,8,1")},
             {QStringLiteral("Ports"), QStringLiteral("COM1"), QString::fromLocal8Bit(ptsname(master))}});
        settings::useSettingsFile(ini);
    }

    const int master = openFarEnd();
    QTemporaryDir folder;
};

// Counts the bytes that arrive at the far end, in a thread of its own, until total have come
// or none came for two seconds.
class Reader {
public:
    Reader(int master, std::size_t total)
        : thread_([this, master, total] {
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
        }) {}
    ~Reader() { thread_.join(); }

    std::atomic<std::size_t> received{0};

private:
    std::thread thread_;
};

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace trivex::bench
