#pragma once

#include "protocol/Bytes.h"

#include <cstdint>

// The commands that drive the selected module's display and output line. Each returns exactly
// the bytes that go on the wire; parameters are single bytes holding the number itself.
namespace trivex::protocol {

Bytes clearDisplay();

// Clear, line 1, a line break only when line 2 follows a line 1 shorter than a full line,
// then line 2. Nothing at all when both lines are empty. No byte of the text is changed.
Bytes writeText(const Bytes& line1, const Bytes& line2);

// Custom character n (1 to 8) travels as the single display byte n - 1.
Bytes customCharacter(int number);

Bytes showDefaultScreen();
Bytes setCursorPosition(std::uint8_t row, std::uint8_t column);
Bytes clearRow(std::uint8_t row);
Bytes clearColumn(std::uint8_t column);
Bytes underlineCursor();
Bytes blinkingCursor();
Bytes hideCursor();
Bytes backlightOn();
Bytes backlightOff();
Bytes backlightBlink();
Bytes initGraph();
Bytes graphLeftToRight(std::uint8_t length);
Bytes graphRightToLeft(std::uint8_t length);
Bytes outputOn();
Bytes outputOff();

// The parameter bytes that follow a display command code (after kCommandPrefix); -1 for a code
// that is no display command.
int displayParameterCount(std::uint8_t code);

} // namespace trivex::protocol
