#include "forms/frmLCDLayout.h"

namespace trivex::forms {

// The configuration window as laid out: names, kinds, captions, containers, twips and tab indices.
std::vector<ControlSpec> frmLCDLayout() {
    using K = ControlKind;
    std::vector<ControlSpec> specs = {
        {"Frame1", K::Frame, "RS485 Address", "", 360, 360, 1815, 855, 0},
        {"cboUID", K::ComboBox, "", "Frame1", 360, 360, 975, 315, 1},
        {"Frame2", K::Frame, "Baud Rate", "", 2400, 360, 1935, 1215, 2},
        {"opt9600", K::Option, "9600 bps", "Frame2", 240, 360, 1095, 255, 3},
        {"opt4800", K::Option, "4800 bps", "Frame2", 240, 720, 1095, 255, 4},
        {"Frame3", K::Frame, "Default Screen", "", 4440, 360, 2895, 1215, 5},
        {"txtSU1", K::TextBox, "", "Frame3", 480, 360, 2055, 285, 6},
        {"txtSU2", K::TextBox, "", "Frame3", 480, 720, 2055, 285, 7},
        {"Frame4", K::Frame, "Custom Characters Bitmap", "", 360, 1680, 5895, 3375, 8},
        {"cmdSetLCD", K::Button, "Set UID", "", 6480, 1800, 855, 495, 81},
        {"cmdSetBaud", K::Button, "Set Baud Rate", "", 6480, 2520, 855, 495, 82},
        {"cmdStartupScreen", K::Button, "Set Default Screen", "", 6480, 3240, 975, 735, 83},
        {"cmdCustom", K::Button, "Set Custom Characters", "", 6480, 4200, 975, 735, 84},
    };
    // Row k (1 to 8) of the grid: its label, then the eight cells of custom character k.
    for (int k = 1; k <= kBitmapRows; ++k) {
        specs.push_back({QStringLiteral("Label%1").arg(k), K::Label, QStringLiteral("CHAR %1").arg(k),
                         "Frame4", 120, 360 + 360 * (k - 1), 735, 255, 9});
    }
    for (int i = 0; i < kBitmapCells; ++i) {
        const int row = i / 8;
        const int column = i % 8;
        specs.push_back({arrayElement("txtCustom", i), K::TextBox, "", "Frame4", 960 + 600 * column,
                         360 + 360 * row, 495, 285, 10 + i});
    }
    return specs;
}

} // namespace trivex::forms
