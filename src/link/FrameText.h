#pragma once

#include "protocol/BusReader.h"

#include <QString>

// A frame heard on the bus in the words every view of it uses: the monitor's lines, its JSON, the
// listening window's table.
namespace trivex::link {

// "controller" or "module".
QString directionWord(protocol::Direction direction);
// Local time to the microsecond: "14:46:01.123456".
QString frameTime(const protocol::BusFrame& frame);
// The gap to the frame before in milliseconds: "+2.083 ms"; empty for the first.
QString frameGap(const protocol::BusFrame& frame);
// The flags, each in brackets: "[no acknowledge within the reply window]".
QString frameFlags(const protocol::BusFrame& frame);

} // namespace trivex::link
