#pragma once

#include "sim/core/Lcd.h"

#include <array>
#include <cstdint>

namespace trivex::sim {

// What a module keeps over a power cycle.
struct ModuleSettings {
    std::uint8_t address = 101;
    int lineSpeed = 9600;
    Lcd::Screen defaultScreen = blankScreen();
    std::array<std::uint8_t, 64> bitmaps{};

    static Lcd::Screen blankScreen();
};

// One module on the bus: its settings, its display and its two lines.
struct Module {
    explicit Module(const ModuleSettings& stored = {});

    // Back to the state after power-on: default screen shown, custom characters from the bitmaps.
    void powerOn();
    void loadBitmapsIntoDisplay();

    ModuleSettings settings;
    Lcd display;
    bool selected = false;
    bool configuring = false;
    bool outputOn = false;
    bool inputHigh = false;
    int pendingLineSpeed = 0; // set by a line speed command, taken on when its exchange ends
};

} // namespace trivex::sim
