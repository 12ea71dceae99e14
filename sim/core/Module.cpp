#include "sim/core/Module.h"

#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Markers.h"

#include <algorithm>

namespace trivex::sim {

namespace p = trivex::protocol;

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

Outcome Module::command(std::uint8_t code, const std::string& parameters) {
    auto parameter = [&parameters](std::size_t index) {
        return static_cast<std::uint8_t>(parameters[index]);
    };
    // A row or column beyond the display is ignored, as the module ignores it.
    auto onDisplay = [](bool fits, const auto& act) {
        if (fits) {
            act();
        }
        return Outcome{fits ? std::string() : "not on the display, ignored", {}, false};
    };
    switch (code) {
    case p::kUnderlineCursor:
        display.cursorStyle = CursorStyle::Underline;
        break;
    case p::kBlinkingCursor:
        display.cursorStyle = CursorStyle::Blinking;
        break;
    case p::kHideCursor:
        display.cursorStyle = CursorStyle::Hidden;
        break;
    case p::kInitGraph:
        display.initGraph();
        return {"custom characters now hold bar patterns", {}, false};
    case p::kBacklightOn:
        display.backlight = Backlight::On;
        break;
    case p::kBacklightOff:
        display.backlight = Backlight::Off;
        break;
    case p::kBacklightBlink:
        display.backlight = Backlight::Blinking;
        break;
    case p::kOutputOn:
    case p::kOutputOff:
        outputOn = code == p::kOutputOn;
        return {{}, {}, true};
    case p::kInputStatus:
        return {inputHigh ? "HIGH" : "LOW",
                {static_cast<char>(p::kAcknowledge), static_cast<char>(settings.address),
                 static_cast<char>(inputHigh ? p::kInputHigh : p::kInputLow)},
                false};
    case p::kShowDefaultScreen:
        display.show(settings.defaultScreen);
        break;
    case p::kGraphLeftToRight:
    case p::kGraphRightToLeft: {
        const int length = parameter(0);
        display.drawGraph(length, code == p::kGraphLeftToRight);
        return {"on row " + std::to_string(display.cursorRow) +
                    (length > p::kMaxGraphLength ? ", drawn as 80" : ""),
                {},
                false};
    }
    case p::kClearRow:
        return onDisplay(parameter(0) < Lcd::kRows, [&] { display.clearRow(parameter(0)); });
    case p::kClearColumn:
        return onDisplay(parameter(0) < Lcd::kColumns, [&] { display.clearColumn(parameter(0)); });
    case p::kSetCursorPosition:
        return onDisplay(parameter(0) < Lcd::kRows && parameter(1) < Lcd::kColumns,
                         [&] { display.setCursor(parameter(0), parameter(1)); });
    default:
        break;
    }
    return {};
}

Outcome Module::configure(std::uint8_t code, const std::string& payload) {
    switch (code) {
    case p::kSetUid: {
        const std::string was = std::to_string(settings.address);
        settings.address = static_cast<std::uint8_t>(payload[0]);
        return {was + " now answers at " + std::to_string(settings.address), {}, true};
    }
    case p::kLineSpeed9600:
    case p::kLineSpeed4800:
        pendingLineSpeed = code == p::kLineSpeed9600 ? 9600 : 4800;
        return {"from the stop frame on", {}, true};
    case p::kSetDefaultScreen:
        std::copy(payload.begin(), payload.end(), settings.defaultScreen.begin());
        return {{}, {}, true};
    case p::kLoadCustomCharacters:
        std::copy(payload.begin(), payload.end(), settings.bitmaps.begin());
        loadBitmapsIntoDisplay();
        return {{}, {}, true};
    default:
        return {};
    }
}

void Module::take(std::uint8_t byte) {
    if (byte == p::kClearDisplay) {
        display.clear();
    } else if (byte == p::kLineBreak) {
        display.lineBreak();
    } else {
        display.put(byte);
    }
}

} // namespace trivex::sim
