#pragma once

#include "forms/kit/Controls.h"

#include <vector>

namespace trivex::forms {

constexpr int kConfigClientWidth = 7605;
constexpr int kConfigClientHeight = 5340;
constexpr int kBitmapCells = 64;
constexpr int kBitmapRows = 8;

std::vector<ControlSpec> frmLCDLayout();

} // namespace trivex::forms
