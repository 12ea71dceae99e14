// trivex-sim: virtual TRIVEX modules on a pseudo-terminal or the network.

#include "cli/CommandLine.h"
#include "settings/FileAccess.h"
#include "sim/core/Bus.h"
#include "sim/core/StateFile.h"
#include "sim/runtime/Attach.h"
#include "sim/runtime/NetBus.h"
#include "sim/runtime/Options.h"
#include "sim/runtime/PtyBus.h"
#include "sim/runtime/Signals.h"
#include "sim/runtime/TapPty.h"
#include "sim/ui/SimWindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <unistd.h>

using namespace trivex::sim;
namespace settings = trivex::settings;

namespace {

// Exit code of --attach when the configured port is present and no module is needed.
constexpr int kNotNeeded = 3;
// A state file holds a line of some 220 characters a module.
constexpr qint64 kMaxStateSize = 1024 * 1024;

// A line of the log on standard output. Output nobody reads (a full pipe) never holds the bus
// up: lines that would wait are dropped, and counted when the output takes lines again.
void print(const QString& line) {
    static long dropped = 0;
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    if (::poll(&out, 1, 0) != 1 || !(out.revents & POLLOUT)) {
        ++dropped;
        return;
    }
    if (dropped > 0) {
        std::fprintf(stdout, "(%ld lines of the log dropped: they were not read in time)\n", dropped);
        dropped = 0;
    }
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// A fresh module shows who it is until it is given a default screen of its own.
Lcd::Screen greeting(int address) {
    const std::string lines[] = {"TRIVEX LCD " + std::to_string(address), " virtual module"};
    Lcd::Screen screen = ModuleSettings::blankScreen();
    for (int row = 0; row < Lcd::kRows; ++row) {
        std::copy(lines[row].begin(), lines[row].end(), screen.begin() + row * Lcd::kColumns);
    }
    return screen;
}

// The modules of the state file when there is one, else those of the options. A state file that
// cannot be read as one is an error: it is never overwritten.
std::optional<std::vector<ModuleSettings>> loadState(const Options& options, QString* error) {
    if (!options.statePath.isEmpty()) {
        const settings::FileContents stored = settings::readRegularFile(options.statePath, kMaxStateSize);
        if (!stored.error.isEmpty()) {
            *error =
                QStringLiteral("--state %1: %2; it is left as it is").arg(options.statePath, stored.error);
            return std::nullopt;
        }
        if (stored.exists) {
            const auto modules = parseState(stored.data.toStdString());
            if (!modules || modules->empty()) {
                *error = QStringLiteral("--state %1 is not a module state file; it is left as it is")
                             .arg(options.statePath);
                return std::nullopt;
            }
            return *modules;
        }
    }
    std::vector<ModuleSettings> modules = options.modules;
    for (ModuleSettings& module : modules) {
        module.defaultScreen = greeting(module.address);
    }
    return modules;
}

void saveState(const QString& path, const Bus& bus) {
    std::vector<ModuleSettings> settings;
    for (const Module& module : bus.modules()) {
        settings.push_back(module.settings);
    }
    const QString error = settings::replaceFile(path, QByteArray::fromStdString(formatState(settings)));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "trivex-sim: the module state was not stored in %s: %s\n", qPrintable(path),
                     qPrintable(error));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::optional<Options> options;
    {
        // A program object without windows, so that the help text names the program.
        QCoreApplication commandLine(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(TRIVEX_VERSION));
        int status = 0;
        options = parseOptions(commandLine.arguments(), &status);
        if (!options) {
            return status;
        }
    }
    if (!options->attachIni.isEmpty()) {
        const AttachOutcome outcome = attachToSettings(options->attachIni, options->portUrl());
        print(QStringLiteral("trivex-sim: ") + outcome.message);
        if (!outcome.advice.isEmpty()) {
            print(QStringLiteral("trivex-sim: ") + outcome.advice);
        }
        if (!outcome.useVirtualModule) {
            return kNotNeeded;
        }
    }

    std::unique_ptr<QCoreApplication> app;
    if (options->headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (!trivex::cli::checkDisplay("trivex-sim")) {
            return 1;
        }
        app = std::make_unique<QApplication>(argc, argv);
        QGuiApplication::setDesktopFileName(QStringLiteral("org.trivex.TrivexSim"));
        trivex::cli::displayStarted();
    }

    QString error;
    const auto stored = loadState(*options, &error);
    if (!stored) {
        std::fprintf(stderr, "trivex-sim: %s\n", qPrintable(error));
        return 1;
    }
    Bus bus(*stored, BusOptions{options->answerStopFrame});
    for (Module& module : bus.modules()) {
        for (int address : options->inputHigh) {
            module.inputHigh = module.inputHigh || module.settings.address == address;
        }
    }
    std::unique_ptr<BusPort> port;
    if (options->listenPort >= 0) {
        auto net = std::make_unique<NetBus>(bus, options->answerDelayMs, options->echo);
        if (!net->listen(QHostAddress(options->listenHost), static_cast<quint16>(options->listenPort),
                         &error)) {
            std::fprintf(stderr, "trivex-sim: %s\n", qPrintable(error));
            return 1;
        }
        endCleanlyOnSignals({}, {}, {});
        port = std::move(net);
    } else {
        auto pty = std::make_unique<PtyBus>(bus, options->answerDelayMs, options->echo);
        if (!pty->open(options->linkPath, &error)) {
            std::fprintf(stderr, "trivex-sim: %s\n", qPrintable(error));
            return 1;
        }
        endCleanlyOnSignals(pty->linkPath(), pty->slavePath(), pty->linkPath() + QStringLiteral(".lock"));
        port = std::move(pty);
    }
    port->setLatency(options->latencyMs);
    TapPty tap;
    if (!options->tapPath.isEmpty()) {
        if (!tap.open(options->tapPath, &error)) {
            std::fprintf(stderr, "trivex-sim: --tap: %s\n", qPrintable(error));
            return 1;
        }
        QObject::connect(port.get(), &BusPort::onLine, &tap, &TapPty::pass);
        print(QStringLiteral("trivex-sim: every byte on the bus, both ways, at %1").arg(tap.linkPath()));
    }
    QString modules;
    for (const Module& module : bus.modules()) {
        modules += QStringLiteral("%1%2 at %3 bit/s")
                       .arg(modules.isEmpty() ? "" : ", ")
                       .arg(module.settings.address)
                       .arg(module.settings.lineSpeed);
    }
    print(QStringLiteral("trivex-sim: bus at %1 (%2); modules: %3")
              .arg(port->linkPath(), port->carrier(), modules));
    print(QStringLiteral("Put this under [Ports] in trivex.ini:"));
    print(QStringLiteral("COM1=%1").arg(port->linkPath()));
    if (!options->statePath.isEmpty()) {
        QObject::connect(port.get(), &BusPort::stateChanged, [&] { saveState(options->statePath, bus); });
    }

    std::unique_ptr<SimWindow> window;
    std::unique_ptr<QSocketNotifier> commands;
    if (options->headless) {
        const bool several = bus.modules().size() > 1;
        QObject::connect(port.get(), &BusPort::logged, print);
        QObject::connect(port.get(), &BusPort::displayChanged, [&bus, several](int index) {
            const Module& module = bus.modules()[static_cast<std::size_t>(index)];
            if (several) {
                print(QStringLiteral("display of %1:").arg(module.settings.address));
            }
            for (int row = 0; row < Lcd::kRows; ++row) {
                print(QLatin1Char('|') + QString::fromStdString(module.display.lineText(row)) +
                      QLatin1Char('|'));
            }
        });
        // Commands on standard input: "input ADDRESS high|low", "quit".
        commands = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(commands.get(), &QSocketNotifier::activated, [&] {
            char line[256];
            if (!std::fgets(line, sizeof line, stdin)) {
                commands->setEnabled(false);
                return;
            }
            const QStringList words = QString::fromLocal8Bit(line).simplified().split(QLatin1Char(' '));
            if (words.value(0) == QLatin1String("quit")) {
                QCoreApplication::quit();
            } else if (words.size() == 3 && words[0] == QLatin1String("input")) {
                for (Module& module : bus.modules()) {
                    if (QString::number(module.settings.address) == words[1]) {
                        module.inputHigh = words[2].compare(QLatin1String("high"), Qt::CaseInsensitive) == 0;
                        print(QStringLiteral("  input line of %1 switched %2")
                                  .arg(words[1], module.inputHigh ? "HIGH" : "LOW"));
                    }
                }
            } else if (!words.value(0).isEmpty()) {
                print(QStringLiteral("  commands: input ADDRESS high|low, quit"));
            }
        });
    } else {
        window = std::make_unique<SimWindow>(*port);
        window->show();
    }
    return QCoreApplication::exec();
}
