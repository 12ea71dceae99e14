#pragma once

#include "sim/core/Bus.h"
#include "sim/runtime/PtyBus.h"

#include <QStringList>

namespace trivex::test {

// Virtual modules ("101", "112:4800") on a pseudo-terminal published at path, answering
// answerMs after a frame (plus their reply's wire time), behind an adapter that holds reads for
// latencyMs, in this process.
struct VirtualBus {
    VirtualBus(const QStringList& modules, const QString& path, int answerMs = 2, bool echo = false,
               int latencyMs = 0)
        : bus(settingsOf(modules))
        , pty(bus, answerMs, echo) {
        pty.setLatency(latencyMs);
        QString error;
        if (!pty.open(path, &error)) {
            qFatal("%s", qPrintable(error));
        }
    }

    static std::vector<sim::ModuleSettings> settingsOf(const QStringList& modules) {
        std::vector<sim::ModuleSettings> settings;
        for (const QString& module : modules) {
            settings.emplace_back();
            settings.back().address = static_cast<std::uint8_t>(module.section(':', 0, 0).toInt());
            settings.back().lineSpeed = module.contains(':') ? module.section(':', 1).toInt() : 9600;
        }
        return settings;
    }

    sim::Bus bus;
    sim::PtyBus pty;
};

} // namespace trivex::test
