#pragma once

#include <QString>

namespace trivex::sim {

struct AttachOutcome {
    bool useVirtualModule = false;
    QString message; // which port the program starts on
    QString advice;  // on a first start: how to use a real adapter instead
};

// Points the program's configured port at the virtual module when there is no settings file
// yet, or when it names no port that is present on this machine: "CommPort" (and "Setting")
// are filled in only where they are missing, and "Ports" gets a mapping only where it has
// none. The operator's own values are never overwritten.
AttachOutcome attachToSettings(const QString& iniPath, const QString& linkPath);

// Whether a device path is a serial port that is there now: a character device, and for the
// on-board ports one the kernel found hardware for (the user may still need the rights to it).
bool serialPortPresent(const QString& path);

} // namespace trivex::sim
