#include "sim/core/Module.h"

#include <algorithm>

namespace trivex::sim {

Lcd::Screen ModuleSettings::blankScreen() {
    Lcd::Screen screen;
    screen.fill(0x20);
    return screen;
}

Module::Module(const ModuleSettings& stored)
    : settings(stored) {
    powerOn();
}

void Module::powerOn() {
    display = Lcd();
    loadBitmapsIntoDisplay();
    display.show(settings.defaultScreen);
    selected = false;
    configuring = false;
}

void Module::loadBitmapsIntoDisplay() {
    for (int character = 0; character < 8; ++character) {
        Glyph rows;
        std::copy_n(settings.bitmaps.begin() + character * 8, 8, rows.begin());
        display.defineCharacter(character, rows);
    }
}

} // namespace trivex::sim
