#pragma once

#include "sim/core/Lcd.h"

#include <array>
#include <cstdint>
#include <string>

namespace trivex::sim {

// What a module keeps over a power cycle.
struct ModuleSettings {
    std::uint8_t address = 101;
    int lineSpeed = 9600;
    Lcd::Screen defaultScreen = blankScreen();
    std::array<std::uint8_t, 64> bitmaps{};

    static Lcd::Screen blankScreen();
};

// What a module made of a command: what it adds to the command's own words in the log (empty
// when nothing), the reply it sends, and whether it changed what a state file keeps or its
// output line.
struct Outcome {
    std::string words;
    std::string reply;
    bool stateChanged = false;
};

// One module on the bus: its settings, its display and its two lines, and what it does with
// the commands and display data meant for it.
struct Module {
    explicit Module(const ModuleSettings& stored = {});

    // Back to the state after power-on: default screen shown, custom characters from the bitmaps.
    void powerOn();
    void loadBitmapsIntoDisplay();

    // A display command (its code and parameter bytes), taken while selected.
    Outcome command(std::uint8_t code, const std::string& parameters);
    // A configuration command (its code and payload), taken while in a configuration exchange.
    Outcome configure(std::uint8_t code, const std::string& payload);
    // A byte of display data, taken while selected: the clear and line-break codes, or a
    // character.
    void take(std::uint8_t byte);

    ModuleSettings settings;
    Lcd display;
    bool selected = false;
    bool configuring = false;
    bool outputOn = false;
    bool inputHigh = false;
    int pendingLineSpeed = 0; // set by a line speed command, taken on when its exchange ends
};

} // namespace trivex::sim
