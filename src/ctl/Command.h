#pragma once

#include "ctl/Options.h"
#include "session/PortSession.h"

#include <QString>

// A call of trivexctl carried out: its words checked, the port opened, the steps run and
// reported. Returns the exit status; what went wrong is on stderr.
namespace trivex::ctl {

int runCommand(const Options& options);

// Opens the port the options name (or the settings do) at the speed they name; empty when it
// is open, otherwise what the windows would tell of it.
QString openPort(session::PortSession& session, const Options& options);

// "trivexctl: TEXT" on stderr.
void tell(const QString& text);

} // namespace trivex::ctl
