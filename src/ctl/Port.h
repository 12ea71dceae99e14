#pragma once

#include "ctl/Options.h"
#include "session/PortSession.h"

#include <QString>
#include <optional>

// The one port a call of trivexctl writes to: named on its command line, or by the settings
// file it names. trivexctl never chooses a device by itself.
namespace trivex::ctl {

struct PortPlan {
    QString name;     // as named: "COM3", a device path, a URL (never with a secret)
    int number = 0;   // COM n; 0 for a path or a URL
    QString settings; // the line settings: "9600,n,8,1"
    bool raw = false; // a raw port on the network: the line runs at the server's speed
    bool ignoreEcho = false;
};

// The port the options name, with its line settings; no value, and *refusal set, when they name
// none that can be opened as asked: an empty --port, an --ini that is missing or no regular
// file, settings that name no port or hold a value that is no setting, a COM number with no
// device, a URL that is no serial server's, a speed asked of a raw network port.
std::optional<PortPlan> planPort(const Options& options, QString* refusal);

// The device or URL the port stands for.
QString deviceOf(const PortPlan& plan);

// Opens it; empty when it is open, otherwise what went wrong.
QString openPort(session::PortSession& session, const PortPlan& plan);

// The port's trace: its device or URL, and the device's stable name where it has one.
std::pair<QString, QString> portTrace(const session::PortSession& session, const PortPlan& plan);

} // namespace trivex::ctl
