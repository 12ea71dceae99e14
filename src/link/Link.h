#pragma once

#include "link/SerialControl.h"
#include "link/SharedVariables.h"
#include "protocol/Selection.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>

namespace trivex::link {

// One tick of the wait timer. Ten ticks make the reply window: long enough for a select at
// 4800 bit/s (8.3 ms on the wire) and for USB adapters that hold small reads back for up to
// 16 ms, and as long as the window modules of this kind were built to answer within.
constexpr std::chrono::milliseconds kTickLength{15};

// Every exchange waits this many ticks for its reply.
constexpr int kReplyTicks = 10;

// What the input status exchange found.
struct InputOutcome {
    bool answered = false;
    std::optional<protocol::InputLevel> level; // only when answered with a meaningful status
};

// The serial port, the tick timer and the reply watcher, and the three exchanges built on them.
class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(SharedVariables& variables, QObject* parent = nullptr);

    SerialControl MSComm1;
    QTimer Timer1;

    // Puts bytes into strCommand and writes them while the port is open; otherwise writes
    // nothing. True when they went out.
    bool SendCommand(const protocol::Bytes& bytes);

    // Returns once intTicks has reached count, handling window events meanwhile. The event
    // loop sleeps between events instead of polling.
    void WaitTicks(std::int16_t count);

    void Timer1_Timer();
    void MSComm1_OnComm();

    // Start frame to address; true when its acknowledge arrived within the reply window.
    bool selectDevice(std::uint8_t address);
    // Stop frame; true when an acknowledge has been seen since the flag was last cleared.
    bool releaseDevice();
    // Input status query to whatever module bytAddress names.
    InputOutcome queryInput();

    // A start frame to address, and every byte that comes back within ticks of the wait timer,
    // as it comes: for a check that must see a second module, a garbled or a stray answer, not
    // only an acknowledge. What answered stays selected.
    protocol::Bytes probe(std::uint8_t address, std::int16_t ticks);

    // The two writes of a configuration command, straight to the port. False when either did
    // not go out (the port is closed or went away). A start frame that went out without its
    // command is owed a stop frame: it is written first when that device is open again at that
    // speed, so that no module is left taking configuration commands; another port opened
    // meanwhile keeps the debt (the traffic monitor says so).
    bool writeConfiguration(const protocol::Bytes& write1, const protocol::Bytes& write2);
    bool owesStopFrame() const { return owed_.has_value(); }

    // While held, the reply watcher leaves received bytes to whoever reads them (a bus scan).
    void holdReplies(bool held) { held_ = held; }

private:
    // WaitTicks for an exchange's reply; bytes that arrive meanwhile are expected.
    void waitForReply();

    // Pays the stop frame owed when the port that just opened is where it is owed.
    void payOwedStopFrame();

    // Where a stop frame is owed: the device, and the speed the start frame went out at.
    struct OwedStopFrame {
        DeviceIdentity device;
        QString settings;
    };

    SharedVariables& vars_;
    std::optional<OwedStopFrame> owed_;
    bool held_ = false;
};

} // namespace trivex::link
