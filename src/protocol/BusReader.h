#pragma once

#include "protocol/Decoder.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// A bus heard from the side, as a listening adapter hears it: the controller's frames and
// commands and the modules' replies in one stream of bytes, told apart by the protocol alone,
// each with its time, and what an engineer looks for marked.
namespace trivex::protocol {

// One frame, command, text run or reply heard on the bus.
struct BusFrame {
    std::int64_t micros = 0;                // when its first byte came, microseconds since the epoch
    std::int64_t gapMicros = -1;            // since the frame before came; -1 for the first
    Direction direction = Direction::ToBus; // ToBus: the controller's; FromBus: a module's
    Bytes bytes;
    std::string meaning; // the decoder's words
    std::vector<std::string> flags;
};

// What is marked, in the words every view of a frame uses.
namespace flag {
inline const std::string kNoAcknowledge = "no acknowledge within the reply window";
inline const std::string kGarbled = "garbled acknowledge: two modules answered at once";
inline const std::string kOtherAddress = "acknowledge from another address than the one called (";
inline const std::string kConfigurationWhileSelected = "configuration command while module ";
inline const std::string kNoFrame = "bytes that fit no frame";
} // namespace flag

class BusReader {
public:
    // As long as a controller waits for an acknowledge.
    static constexpr std::int64_t kReplyWindowMicros = 150000;
    // Text on the bus with no byte after it for this long is a run of its own.
    static constexpr std::int64_t kTextQuietMicros = 20000;

    // The frames that the bytes complete, read at micros. A frame is handed on once what it waits
    // for is known: a start frame once its acknowledge came or its reply window passed, and the
    // frames after it behind it.
    std::vector<BusFrame> feed(const Bytes& bytes, std::int64_t micros);
    // The frames that time alone releases: a start frame whose reply window has passed, text
    // that the bus has been quiet after.
    std::vector<BusFrame> passTime(std::int64_t micros);
    // Everything held, at the end of the bytes heard by micros: time passes as passTime has it,
    // a frame cut short is told as such, and a start frame whose window had not passed yet is
    // handed on unmarked.
    std::vector<BusFrame> finish(std::int64_t micros);

private:
    enum class Waiting { None, Acknowledge, InputReply };

    void take(std::uint8_t byte, std::int64_t micros);
    // The frame being read is complete.
    void complete();
    void completeReply();
    void completeControl();
    void add(BusFrame frame, bool holds);
    // Resolves what the frame held back waits for; unanswered: flagged.
    void resolve(bool answered);
    std::vector<BusFrame> release();
    int expectedLength() const;

    Bytes partial_; // bytes of the frame being read
    std::int64_t partialMicros_ = 0;
    std::int64_t lastByteMicros_ = 0;
    bool partialIsText_ = false;
    bool partialIsGarbage_ = false;
    Waiting waiting_ = Waiting::None;
    int calledAddress_ = -1;                  // the address the reply is awaited from
    std::optional<int> selected_;             // acknowledged, and not released since
    std::optional<int> selectedBeforeConfig_; // selected when configuration began
    bool configuring_ = false;
    std::deque<BusFrame> queue_;
    std::optional<std::size_t> heldAt_; // the frame in queue_ that holds the rest back
    std::int64_t lastFrameMicros_ = -1;
};

} // namespace trivex::protocol
