#pragma once

#include "forms/kit/Controls.h"

#include <vector>

namespace trivex::forms {

constexpr int kCustomCharacterButtons = 8;

// Client area (status bar included) and the status bar, in twips.
constexpr int kMainClientWidth = 7020;
constexpr int kMainClientHeight = 7740;
constexpr int kStatusBarHeight = 375;

std::vector<ControlSpec> frmMainLayout();

} // namespace trivex::forms
