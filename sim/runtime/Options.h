#pragma once

#include "sim/core/Module.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace trivex::sim {

struct Options {
    QString linkPath = QStringLiteral("/tmp/trivex-bus");
    std::vector<ModuleSettings> modules;
    std::vector<int> inputHigh; // addresses whose input line starts HIGH
    int answerDelayMs = 2;
    int latencyMs = 0; // a modelled USB adapter's latency timer; 0: none
    QString tapPath;   // a second pseudo-terminal that sees every byte on the bus; empty: none
    bool answerStopFrame = false;
    bool echo = false;
    bool headless = false;
    QString statePath;
    QString attachIni;
    // --listen: the bus served on the network at this address instead of a pseudo-terminal.
    QString listenHost;  // the loopback interface unless one is given
    int listenPort = -1; // -1: not asked for; 0: any free port

    // The URL that leads a port to the bus: the link's path, or rfc2217://host:port.
    QString portUrl() const;
};

// The command line. No value when the program is not to go on: the help or the version was
// printed (*status 0), or what is wrong with the command line (*status 2).
std::optional<Options> parseOptions(const QStringList& arguments, int* status);

} // namespace trivex::sim
