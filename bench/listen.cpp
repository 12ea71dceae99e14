// Listening to a bus another controller drives: a burst of display commands written back to
// back through trivex-sim's link (TRIVEX_SIM, in a process of its own), heard through its tap
// and decoded, against the line rate of 9600 bit/s; and a capture of 100,000 frames opened as
// "Listen to Bus" opens it.

#include "forms/kit/Style.h"
#include "forms/tools/FrameModel.h"
#include "forms/tools/frmListen.h"
#include "link/CaptureFile.h"
#include "link/Listener.h"
#include "session/PortSession.h"
#include "settings/FileAccess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace trivex;

namespace {

constexpr double kLineRate = 9600.0 / 10; // bytes a second at 9600 bit/s, 10 bits a byte

// The burst through the tap: bytes heard, frames decoded, seconds from the first write.
int burst(const QString& sim, const QString& folder) {
    const QString bus = folder + QStringLiteral("/bus");
    const QString tapPath = folder + QStringLiteral("/tap");
    QProcess simulator;
    simulator.start(sim,
                    {QStringLiteral("--headless"), QStringLiteral("--link"), bus, QStringLiteral("--tap"),
                     tapPath, QStringLiteral("--module"), QStringLiteral("101")});
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(tapPath) && wait.elapsed() < 5000) {
        QThread::msleep(20);
    }
    link::BusListener listener;
    std::size_t bytes = 0;
    std::size_t frames = 0;
    std::size_t flagged = 0;
    QObject::connect(&listener, &link::BusListener::heard, [&](const std::vector<protocol::BusFrame>& heard) {
        for (const protocol::BusFrame& frame : heard) {
            bytes += frame.bytes.size();
            flagged += frame.flags.empty() ? 0 : 1;
        }
        frames += heard.size();
    });
    if (const QString why = listener.open(tapPath, QStringLiteral("9600,n,8,1")); !why.isEmpty()) {
        std::printf("listen: the tap cannot be opened: %s\n", qPrintable(why));
        return 1;
    }
    // A controller refreshing a module's two lines: stop frame, cursor, text, cursor, text,
    // backlight; six frames, 42 bytes.
    const std::string cycle = std::string("\xEA\xFE\x32\x00\x00", 5) + std::string(16, 'A') +
                              std::string("\xFE\x32\x01\x00", 4) + std::string(16, 'B') + "\xFE\x06";
    const int cycles = 25000;
    const std::size_t total = cycle.size() * cycles;
    const int controller = ::open(bus.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(controller, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(controller, TCSANOW, &raw);
    QElapsedTimer wall;
    wall.start();
    std::thread writer([&] {
        std::string all;
        for (int i = 0; i < cycles; ++i) {
            all += cycle;
        }
        for (std::size_t at = 0; at < all.size();) {
            const ssize_t n = ::write(controller, all.data() + at, all.size() - at);
            if (n <= 0) {
                break;
            }
            at += static_cast<std::size_t>(n);
        }
    });
    std::size_t before = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (bytes < total && quiet.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (bytes != before) {
            before = bytes;
            quiet.start();
        }
    }
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    writer.join();
    listener.close();
    ::close(controller);
    simulator.terminate();
    simulator.waitForFinished(3000);
    std::printf("listen: burst through the tap: %zu of %zu bytes, %zu of %d frames (%zu marked) in %.3f s = "
                "%.0f bytes/s, "
                "%.0f times the 9600 bit/s line rate (target >= 100)\n",
                bytes, total, frames, 6 * cycles, flagged, seconds, static_cast<double>(bytes) / seconds,
                static_cast<double>(bytes) / seconds / kLineRate);
    // A text run whose bytes came with a pause of the text quiet (20 ms) between them, as a
    // busy machine may hand them on, is two runs: frames may exceed the count, never bytes.
    return bytes == total && frames >= static_cast<std::size_t>(6 * cycles) ? 0 : 1;
}

// A capture of 100,000 frames (selections, acknowledges, commands, text, input replies) opened
// by the window.
int capture(const QString& folder) {
    std::vector<protocol::BusFrame> frames;
    std::int64_t micros = 1765112400000000;
    const std::vector<std::pair<protocol::Direction, std::string>> exchange = {
        {protocol::Direction::ToBus, "\xEF\x65"},
        {protocol::Direction::FromBus, "\xEE\x65"},
        {protocol::Direction::ToBus, std::string("\xFE\x32\x00\x00", 4)},
        {protocol::Direction::ToBus, "Temperature 21 C"},
        {protocol::Direction::ToBus, "\xFE\x0E"},
        {protocol::Direction::FromBus, std::string("\xEE\x65\x08", 3)},
        {protocol::Direction::ToBus, "\xEA"},
        {protocol::Direction::ToBus, "\xEF\x70"}, // nobody answers: marked
    };
    while (frames.size() < 100000) {
        for (const auto& [direction, bytes] : exchange) {
            protocol::BusFrame frame;
            frame.micros = micros += 25000;
            frame.direction = direction;
            frame.bytes = bytes;
            frames.push_back(frame);
        }
    }
    const QString path = folder + QStringLiteral("/bus.pcapng");
    if (!settings::replaceFile(path, link::captureBytes(frames, 9600)).isEmpty()) {
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    QString why;
    const auto contents = link::readCaptureFile(path, &why);
    const double readSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    session::PortSession session;
    forms::frmListen window(session);
    window.show();
    wall.start();
    const bool opened = window.openCapture(path);
    QCoreApplication::processEvents();
    const double openSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::printf("listen: a capture of %zu frames (%.1f MB): read in %.3f s, opened in the window in %.3f s, "
                "%d frames "
                "shown, %lld marked (target < 2 s)\n",
                frames.size(), static_cast<double>(QFile(path).size()) / 1e6, readSeconds, openSeconds,
                window.model().rowCount(), static_cast<long long>(window.model().flagged()));
    return contents && opened && window.model().rowCount() == static_cast<int>(frames.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    forms::applyApplicationStyle(app);
    const QTemporaryDir folder;
    const QString sim = qEnvironmentVariable("TRIVEX_SIM");
    const int failed = (sim.isEmpty() ? 0 : burst(sim, folder.path())) + capture(folder.path());
    return failed;
}
