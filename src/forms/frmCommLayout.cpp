#include "forms/frmCommLayout.h"

namespace trivex::forms {

// The port settings window as laid out; the state line under "SET" says what state the port is in.
std::vector<ControlSpec> frmCommLayout() {
    using K = ControlKind;
    return {
        {"Frame1", K::Frame, "Select Serial Port", "", 360, 360, 1695, 855, 0},
        {"cboComm", K::ComboBox, "", "Frame1", 240, 360, 1095, 315, 1},
        {"Frame2", K::Frame, "Select Baud Rate", "", 2280, 360, 1695, 855, 2},
        {"cboBaud", K::ComboBox, "", "Frame2", 240, 360, 1215, 315, 3},
        {"cmdSetPort", K::Button, "SET", "", 1560, 1560, 975, 375, 4},
        {"lblPortState", K::Label, "", "", 120, 2010, 4095, 285, 5},
    };
}

} // namespace trivex::forms
