#pragma once

#include "ctl/Options.h"

// A call of trivexctl carried out: its words checked into a job, the port planned and opened,
// the job run and its record shown. Returns the exit status.
namespace trivex::ctl {

int runCommand(const Options& options);

} // namespace trivex::ctl
