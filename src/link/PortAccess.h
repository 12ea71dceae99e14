#pragma once

#include <QString>

// What keeps a device from serving as the port.
namespace trivex::link {

// Why a device cannot serve as a serial port just now, as the end of a sentence that starts with
// its path ("is not present", "is a plain file, not a serial port", "cannot be opened:
// permission denied ..."); empty when it is worth opening.
QString deviceProblem(const QString& path);

// Why a device that exists could not be opened because another program holds it: "is busy:
// another program has it open", naming that program where its lock file says.
QString busyReason(const QString& path);
// The same for a device another program holds an advisory lock (flock) on, naming the program.
QString lockedReason(const QString& path);

// Why a terminal may not be taken as a port: it is the controlling terminal of a session (a
// login, a shell's terminal, a serial console with a getty), named with its session leader;
// empty for any other device. Asks without touching the terminal's line settings.
QString sessionTerminalProblem(const QString& path);

} // namespace trivex::link
