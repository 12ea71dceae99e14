#pragma once

#include "sim/core/Module.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trivex::sim {

struct BusOptions {
    bool answerStopFrame = false;
};

// A reply one module puts on the bus.
struct Reply {
    std::string bytes;
    int module;    // index in the bus's module list
    int lineSpeed; // the speed the module sends at
    int frame = 0; // replies with the same number answer the same frame, at the same moment
};

// Several modules answering one frame at once. On RS485 their drivers fight, and the line is
// low wherever any of them sends a 0 bit; each starts bitsApart bit times after the one before
// it. What a UART reads of that line: start bit, eight data bits, stop bit, over and over.
std::string collide(const std::vector<std::string>& replies, int bitsApart = 3);

// What the bytes fed in did.
struct FeedResult {
    std::vector<std::string> log;     // one decoded frame or command a line: hex, two spaces, meaning
    std::vector<Reply> replies;       // in the order the modules send them
    std::vector<int> changedDisplays; // modules whose display content changed
    bool stateChanged = false;        // address, speed, selection or output of some module
};

// The modules on one RS485 bus: the framing of the bytes on the wire into frames, commands and
// display data, and their addressing. Every module hears everything; each is handed what is
// meant for it, and only when the line runs at its own speed. The log says each frame and
// command in the protocol decoder's words, and what the modules made of it.
class Bus {
public:
    explicit Bus(const std::vector<ModuleSettings>& modules, BusOptions options = {});

    // Bytes as they arrived, at the line speed the sender's port is set to. A command split
    // over several calls is taken up where it stopped.
    FeedResult feed(const std::string& bytes, int lineSpeed);
    // A new sender on the line: a frame or command it was cut off in is dropped, and what comes
    // next is read from a frame boundary.
    FeedResult restartLine();

    std::vector<Module>& modules() { return modules_; }
    const std::vector<Module>& modules() const { return modules_; }

private:
    enum class Context { None, Lcd, Configuration };
    enum class Step { Data, Address, Code, Parameters };

    void take(std::uint8_t byte, FeedResult& result);
    void startFrame(std::uint8_t address, FeedResult& result);
    void stopFrame(FeedResult& result);
    void command(FeedResult& result);
    void displayData(std::uint8_t byte, FeedResult& result);
    void flushText(FeedResult& result);
    void endConfiguration();
    int parameterCount(std::uint8_t code) const;
    bool anySelected() const;
    // Hands something to module i; notes when its display changed.
    template <class Act> void handTo(int module, FeedResult& result, const Act& act);
    // A log line: the bytes in hex, the decoder's words for them, and what became of them.
    void log(FeedResult& result, const std::string& bytes, const std::string& outcome = {});
    // Modules that hear the line at its current speed and are addressed in this context.
    std::vector<int> listeners() const;

    std::vector<Module> modules_;
    BusOptions options_;
    int lineSpeed_ = 0;
    Context context_ = Context::None;
    Step step_ = Step::Data;
    std::string pending_; // bytes of the frame or command being read
    std::string text_;    // display data not yet logged
    int frames_ = 0;      // frames that were answered so far
};

} // namespace trivex::sim
