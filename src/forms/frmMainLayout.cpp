#include "forms/frmMainLayout.h"

namespace trivex::forms {

// The main window as laid out: names, kinds, captions, containers, twips and tab indices.
std::vector<ControlSpec> frmMainLayout() {
    using K = ControlKind;
    std::vector<ControlSpec> specs = {
        // Text to the display and the model choice. The two line boxes belong to the window
        // and lie over the "TRIVEX" frame.
        {"txtLine1", K::TextBox, "", "", 480, 600, 2175, 285, 0},
        {"txtLine2", K::TextBox, "", "", 480, 960, 2175, 285, 1},
        {"Frame1", K::Frame, "TRIVEX", "", 240, 240, 4455, 1575, 2},
        {"optBlue", K::Option, "TRIVEXB", "Frame1", 240, 1200, 1095, 255, 3},
        {"optYG", K::Option, "TRIVEXYG", "Frame1", 1440, 1200, 1095, 255, 4},
        {"cmdSendAscii", K::Button, "Send Text", "Frame1", 2760, 360, 1335, 255, 5},
        {"cmdClearLCD", K::Button, "Clear Display", "Frame1", 2760, 720, 1335, 255, 6},
        // Device selection.
        {"Frame2", K::Frame, "Select Device ", "", 4800, 240, 1935, 2415, 7},
        {"cboAddr", K::ComboBox, "", "Frame2", 360, 720, 855, 315, 8},
        {"Label1", K::Label, "RS485 Address", "Frame2", 360, 360, 1215, 255, 9},
        {"cmdSelect", K::Button, "Send Start Frame", "Frame2", 240, 1200, 1335, 495, 10},
        {"cmdDeselect", K::Button, "Send Stop Frame", "Frame2", 240, 1800, 1335, 495, 11},
        // Backlight.
        {"Frame3", K::Frame, "Backlight Control", "", 240, 1920, 4455, 975, 13},
        {"optBLON", K::Option, "Backlight ON", "Frame3", 240, 360, 1335, 375, 14},
        {"optBLOFF", K::Option, "Backlight OFF", "Frame3", 1680, 360, 1575, 375, 15},
        {"optBlink", K::Option, "Blink", "Frame3", 3240, 360, 855, 375, 20},
        // Cursor.
        {"Frame4", K::Frame, "Cursor Control", "", 240, 3000, 4455, 2055, 16},
        {"optUC", K::Option, "Underline Cursor", "Frame4", 240, 240, 1575, 495, 17},
        {"optBC", K::Option, "Blinking Cursor", "Frame4", 240, 600, 1455, 375, 18},
        {"optHC", K::Option, "Hide Cursor", "Frame4", 240, 960, 1215, 375, 19},
        {"cboRow", K::ComboBox, "", "Frame4", 2280, 240, 615, 315, 22},
        {"Label2", K::Label, "Row", "Frame4", 2400, 600, 495, 255, 23},
        {"Label3", K::Label, "Column", "Frame4", 3360, 600, 615, 255, 24},
        {"cboColumn", K::ComboBox, "", "Frame4", 3360, 240, 615, 315, 25},
        {"cmdSetCursor", K::Button, "SET Cursor Position", "Frame4", 2280, 840, 1695, 255, 26},
        {"cmdClrRow", K::Button, "Clear Row", "Frame4", 2280, 1560, 1695, 255, 27},
        {"cmdClrColumn", K::Button, "Clear Column", "Frame4", 2280, 1200, 1695, 255, 28},
        // Input status.
        {"Frame5", K::Frame, "Input Status", "", 4800, 2760, 1935, 1335, 21},
        {"cmdInput", K::Button, "Get Input Status", "Frame5", 240, 360, 1455, 255, 29},
        {"Label4", K::Label, "", "Frame5", 480, 720, 975, 375, 30},
        // The right-hand column under "Input Status".
        {"cmdOnOutput", K::Button, "Turn On Output", "", 4800, 4560, 1935, 255, 31},
        {"cmdOffOutput", K::Button, "Turn Off Output", "", 4800, 4920, 1935, 255, 32},
        {"cmdShowStartup", K::Button, "Show Default Screen", "", 4800, 4200, 1935, 255, 33},
        // Bar graphs.
        {"Frame6", K::Frame, "Graph", "", 240, 5160, 2775, 2055, 34},
        {"cboGraph", K::ComboBox, "", "Frame6", 240, 360, 855, 315, 35},
        {"cmdInitGraph", K::Button, "Init Graph", "Frame6", 1680, 360, 735, 615, 36},
        {"Label5", K::Label, "Length(MAX 80)", "Frame6", 240, 840, 1215, 255, 37},
        {"cmdLtoR", K::Button, "Draw Left to Right Graph", "Frame6", 240, 1200, 2175, 255, 38},
        {"cmdRToL", K::Button, "Draw Right to Left Graph", "Frame6", 240, 1560, 2175, 255, 39},
        // Custom characters.
        {"Frame7", K::Frame, "Insert Custom Characters", "", 3240, 5400, 3495, 1815, 40},
    };
    // cmdChar(0) to cmdChar(7): two rows of four, 840 twips apart across and 480 down.
    for (int i = 0; i < kCustomCharacterButtons; ++i) {
        specs.push_back({arrayElement("cmdChar", i), K::Button, QStringLiteral("CHAR %1").arg(i + 1),
                         "Frame7", 120 + 840 * (i % 4), 480 + 480 * (i / 4), 735, 375, 41 + i});
    }
    return specs;
}

} // namespace trivex::forms
