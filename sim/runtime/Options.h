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
    bool answerStopFrame = false;
    bool headless = false;
    QString statePath;
    QString attachIni;
};

// The command line; no value (and *error set, or *help for --help) when it cannot be used.
std::optional<Options> parseOptions(const QStringList& arguments, QString* error, QString* help);

} // namespace trivex::sim
