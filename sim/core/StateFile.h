#pragma once

#include "sim/core/Module.h"

#include <optional>
#include <string>
#include <vector>

namespace trivex::sim {

// The modules' settings as text, one module a line:
//   module address=101 speed=9600 screen=<32 bytes hex> bitmaps=<64 bytes hex>
std::string formatState(const std::vector<ModuleSettings>& modules);

// No value when a line is not of that form: each of the four keys exactly once, the speed 9600
// or 4800.
std::optional<std::vector<ModuleSettings>> parseState(const std::string& text);

} // namespace trivex::sim
