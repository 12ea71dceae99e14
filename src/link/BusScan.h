#pragma once

#include "link/Link.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <utility>
#include <vector>

namespace trivex::link {

// A module found on the bus, or something worth telling about an address.
struct ScanFinding {
    int address = 0;
    int speed = 0;      // bit/s; 0 for the server's speed, on a raw port on the network
    double replyMs = 0; // from the start frame to the acknowledge
    QString note;       // empty for a clean acknowledge of an ordinary address
};

// The operator's answer allowance unless set otherwise: none beyond what the scan learns.
constexpr int kDefaultAnswerAllowanceMs = 0;
// What a module takes to answer, which every probe's window allows for at least.
constexpr int kModuleAnswerMs = 2;

// Finds the modules on the bus: a start frame to every address of a range at every speed asked
// for (on a raw port on the network, once at the server's speed).
//
// A probe's window, after which the next probe goes out, is the wire time of the start frame
// and of an acknowledge at that speed plus the answer allowance: at least the operator's
// allowance and what a module takes to answer, so that on a line that answers at once the scan
// runs at the speed of the line. What the port holds reads back for (an adapter's latency timer,
// a network's round trip) needs no window of its own: an acknowledge that comes after its window
// names its address, and one that comes within that hold is credited to its probe as it is.
// One that comes later still means a module slower than the window: the allowance widens to it,
// and the probes from its own on are made again in the wider window, so that the findings and
// notes are those of the exchanges' 150 ms window. Bytes that are no acknowledge, where held
// answers of earlier probes may be among them, have their pass made again in a window that
// covers the hold before they are told. Each speed's pass ends with a wait for answers still
// held.
//
// First a stop frame shows whether the adapter echoes what it sends; that echo is then taken out
// of what is read. A module that answers is released with a stop frame before the next probe.
// While it runs the scan owns the port's replies; when it ends, however it ends (done, stopped,
// the port lost, the scan destroyed), the port's speed, receive threshold and echo handling are
// as they were before.
class BusScan : public QObject {
    Q_OBJECT
public:
    explicit BusScan(Link& link, QObject* parent = nullptr);
    ~BusScan() override;

    // The operator's answer allowance, in milliseconds (0 to 1000): the least the scan's starts
    // from. What it is now, widened or not.
    void setAnswerAllowance(int ms);
    int answerAllowance() const { return allowanceMs_; }
    // A probe's window at speed, in milliseconds.
    int windowMs(int speed) const;

    // Starts the scan; the reason when it cannot (the port is closed, nothing to probe).
    QString start(int from, int to, const std::vector<int>& speeds);
    void stop();
    bool isRunning() const { return running_; }

    const std::vector<ScanFinding>& findings() const { return findings_; }

signals:
    void probing(int address, int speed, int done, int total);
    void found(const trivex::link::ScanFinding& finding);
    void echoDetected();
    // An acknowledge came later than its window and the port's hold: the allowance is now ms.
    void allowanceWidened(int ms);
    void finished(const QString& outcome);

private:
    enum class Phase { EchoCheck, Probe, Release, Tail };

    void nextProbe();
    void onReplies();
    void onTimeout();
    bool isFound(int address, int speed) const;
    // A finding for probe number probe of the plan, replyMs after its start frame; once each.
    void report(std::size_t probe, double replyMs, const QString& note);
    // Sorts what was read: the adapter's echo is taken out, and acknowledges of earlier probes
    // are credited to their probe or, too late for that, have the allowance widened and the
    // probes from their own made again. What is left is the current probe's answer, part of an
    // acknowledge, or stray bytes.
    void sortReplies();
    // Bytes read that are no acknowledge, told of probe, or, where the port holds reads longer
    // than the window, its pass made again; true when told.
    bool strayBytes(std::size_t probe, const protocol::Bytes& bytes);
    // The latest probe of the current pass before probe before that nothing answered; none:
    // plan_.size().
    std::size_t lastSilentProbe(std::size_t before) const;
    // Widens the allowance to ms and makes the probes from probe on again.
    void probeAgainFrom(std::size_t probe, int ms);
    // Waits ms, then onTimeout.
    void wait(int ms);
    void finish(const QString& outcome);
    QString settingsAt(int speed) const;
    // The time since probe's start frame, in milliseconds.
    double sinceStartOf(std::size_t probe) const;

    Link& link_;
    QTimer timer_;
    QElapsedTimer clock_;                   // since the scan started
    std::vector<qint64> startedAt_;         // when each probe's start frame went out, on clock_; -1 before
    std::size_t restartFrom_ = 0;           // the probe to go on from after a late answer; none: plan_.size()
    std::vector<std::pair<int, int>> plan_; // address and speed of each probe
    std::size_t next_ = 0;
    Phase phase_ = Phase::Probe;
    int lastSpeed_ = -1;    // of the last probe sent; -1 before the first
    bool tailed_ = false;   // the wait at the end of the current pass is over
    bool extended_ = false; // the current probe's window was lengthened for an acknowledge's rest
    protocol::Bytes reply_;
    std::vector<ScanFinding> findings_;
    bool running_ = false;
    bool echoSeen_ = false;
    int floorMs_ = kDefaultAnswerAllowanceMs;
    int allowanceMs_ = kModuleAnswerMs;
    int holdMs_ = 0; // what the port holds reads back for
    QString originalSettings_;
    bool originalEcho_ = false;
    int originalThreshold_ = 0;
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace trivex::link
