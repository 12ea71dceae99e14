#pragma once

#include "forms/kit/Controls.h"

#include <vector>

namespace trivex::forms {

constexpr int kCommClientWidth = 4335;
constexpr int kCommClientHeight = 2355;
constexpr int kStateLineMargin = 90; // below the state line when it needs more room than laid out

std::vector<ControlSpec> frmCommLayout();

} // namespace trivex::forms
