#pragma once

#include <QString>

namespace trivex::sim {

// SIGTERM, SIGINT, SIGHUP (its terminal closed), SIGPIPE (its output gone) and SIGQUIT end the
// virtual module cleanly: the signal handler itself removes the bus's link (while it still
// leads to this module's pseudo-terminal), so that no link is left behind to a pseudo-terminal
// the kernel hands to somebody's new terminal session; then the event loop ends as on a normal
// quit, which removes the lock file. A program that has not ended a second after the signal
// removes the lock file and ends at once.
void endCleanlyOnSignals(const QString& linkPath, const QString& slavePath, const QString& lockPath);

} // namespace trivex::sim
