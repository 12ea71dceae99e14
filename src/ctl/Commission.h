#pragma once

#include "ctl/Runner.h"
#include "session/PortSession.h"

#include <QStringList>
#include <functional>

// Batch commissioning: new modules, one at a time alone on the bus, each given its address,
// speed, start-up screen and characters through the configuration address, then checked at its
// new address and logged.
namespace trivex::ctl {

// Why the options after "commission" are refused; empty when they are sound.
QString checkCommission(const QStringList& arguments);

// Commissions the modules; report is told each module's outcome. Stops at the first failure,
// saying how to resume. Returns the exit status.
int commission(session::PortSession& session, const QStringList& arguments,
               const std::function<void(const StepResult&)>& report);

} // namespace trivex::ctl
