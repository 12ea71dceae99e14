#pragma once

#include "forms/Controls.h"

#include <vector>

namespace trivex::forms {

constexpr int kCommClientWidth = 4335;
constexpr int kCommClientHeight = 2355;
constexpr int kPortEntries = 7;

std::vector<ControlSpec> frmCommLayout();

} // namespace trivex::forms
