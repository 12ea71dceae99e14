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

// How long a probe waits for its answer beyond the time its bytes take on the wire, unless set
// otherwise: the module's answer time and the up to 16 ms that USB adapters hold small reads.
constexpr int kDefaultAnswerAllowanceMs = 16;

// Finds the modules on the bus: a start frame to every address of a range at every speed asked
// for (on a raw port on the network, once at the server's speed). A probe's window is the wire time of the
// start frame and of an acknowledge at that speed plus the answer allowance; a module that answers is
// released with a stop frame before the next probe, and its probe ends as soon as its acknowledge is
// recognised. An acknowledge that comes after its window names its address: it is still credited, the
// allowance widens for the rest of the scan, and the probes after its own are made again, so that no answer
// is lost to the probes it came into. First a stop frame shows whether the adapter echoes what it sends; that
// echo is then taken out of what is read. While it runs the scan owns the port's replies; when it ends,
// however it ends (done, stopped, the port lost, the scan destroyed), the port's speed, receive
// threshold and echo handling are as they were before.
class BusScan : public QObject {
    Q_OBJECT
public:
    explicit BusScan(Link& link, QObject* parent = nullptr);
    ~BusScan() override;

    // The answer allowance of the next scan, in milliseconds (0 to 1000); what it is now, widened
    // or not.
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
    // An acknowledge came after its window: the allowance is now ms.
    void allowanceWidened(int ms);
    void finished(const QString& outcome);

private:
    enum class Phase { EchoCheck, Probe, Release };

    void nextProbe();
    void onReplies();
    void onTimeout();
    bool isFound(int address, int speed) const;
    // A finding for probe number probe of the plan, replyMs after its start frame; once each.
    void report(std::size_t probe, double replyMs, const QString& note);
    // Takes acknowledges of earlier probes out of what was read: each is credited to its probe.
    void creditLateAnswers();
    // Waits the window of the current speed, then onTimeout.
    void waitWindow();
    void finish(const QString& outcome);
    QString settingsAt(int speed) const;

    Link& link_;
    QTimer timer_;
    QElapsedTimer sinceProbe_;
    QElapsedTimer clock_;           // since the scan started
    std::vector<qint64> startedAt_; // when each probe's start frame went out, on clock_; -1 before
    std::size_t restartFrom_ = 0;   // the probe to go on from after a late acknowledge; none: plan_.size()
    std::vector<std::pair<int, int>> plan_; // address and speed of each probe
    std::size_t next_ = 0;
    Phase phase_ = Phase::Probe;
    protocol::Bytes reply_;
    std::vector<ScanFinding> findings_;
    bool running_ = false;
    bool echoSeen_ = false;
    int setAllowanceMs_ = kDefaultAnswerAllowanceMs;
    int allowanceMs_ = kDefaultAnswerAllowanceMs;
    QString originalSettings_;
    bool originalEcho_ = false;
    int originalThreshold_ = 0;
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace trivex::link
