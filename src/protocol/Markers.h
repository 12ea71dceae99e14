#pragma once

#include <cstdint>

// Every byte value that appears on the bus, by name. Window code and the virtual module use
// these names; only the encoders in this folder put them together into commands.
namespace trivex::protocol {

// Frame markers.
constexpr std::uint8_t kStartFrame = 0xEF;    // program to module, one address byte follows
constexpr std::uint8_t kStopFrame = 0xEA;     // program to module, sent alone
constexpr std::uint8_t kCommandPrefix = 0xFE; // program to module, command code follows
constexpr std::uint8_t kAcknowledge = 0xEE;   // module to program, its address follows

// The address every module takes configuration commands on.
constexpr std::uint8_t kConfigurationAddress = 0x64;

// Display data control codes (not prefixed).
constexpr std::uint8_t kClearDisplay = 0x0D;
constexpr std::uint8_t kLineBreak = 0x0C;

// Display command codes (after kCommandPrefix).
constexpr std::uint8_t kUnderlineCursor = 0x01;
constexpr std::uint8_t kBlinkingCursor = 0x02;
constexpr std::uint8_t kHideCursor = 0x03;
constexpr std::uint8_t kInitGraph = 0x04;
constexpr std::uint8_t kBacklightOn = 0x06;
constexpr std::uint8_t kBacklightOff = 0x07;
constexpr std::uint8_t kBacklightBlink = 0x0B;
constexpr std::uint8_t kOutputOn = 0x0C;
constexpr std::uint8_t kOutputOff = 0x0D;
constexpr std::uint8_t kInputStatus = 0x0E;
constexpr std::uint8_t kShowDefaultScreen = 0x14;
constexpr std::uint8_t kGraphLeftToRight = 0x2B;
constexpr std::uint8_t kGraphRightToLeft = 0x2C;
constexpr std::uint8_t kClearRow = 0x2D;
constexpr std::uint8_t kClearColumn = 0x2E;
constexpr std::uint8_t kSetCursorPosition = 0x32;

// Configuration command codes (after kCommandPrefix, framed with kConfigurationAddress).
constexpr std::uint8_t kSetUid = 0x30;
constexpr std::uint8_t kLineSpeed9600 = 0x1E;
constexpr std::uint8_t kLineSpeed4800 = 0x1F;
constexpr std::uint8_t kSetDefaultScreen = 0xC8;
constexpr std::uint8_t kLoadCustomCharacters = 0x64;

// Status byte of the input status reply.
constexpr std::uint8_t kInputHigh = 0x08;
constexpr std::uint8_t kInputLow = 0x00;

// Display geometry and parameter ranges.
constexpr int kLineLength = 16;
constexpr int kLineCount = 2;
constexpr int kCustomCharacterCount = 8;
constexpr int kBytesPerCustomCharacter = 8;
constexpr int kCustomBitmapBytes = kCustomCharacterCount * kBytesPerCustomCharacter;
constexpr int kMaxGraphLength = 80;

// Block sizes the reply watcher waits for.
constexpr int kAcknowledgeLength = 2;
constexpr int kInputReplyLength = 3;

} // namespace trivex::protocol
