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
    int speed = 0;      // bit/s
    double replyMs = 0; // from the start frame to the acknowledge
    QString note;       // empty for a clean acknowledge of an ordinary address
};

// Finds the modules on the bus: a start frame to every address of a range at every speed asked
// for, each waiting the program's reply window; a module that answers is released with a stop
// frame before the next probe, and its probe ends as soon as its acknowledge is recognised.
// First a stop frame shows whether the adapter echoes what it sends; that echo is then taken
// out of what is read. While it runs the scan owns the port's replies; when it ends, however it
// ends (done, stopped, the port lost, the scan destroyed), the port's speed, receive threshold
// and echo handling are as they were before.
class BusScan : public QObject {
    Q_OBJECT
public:
    explicit BusScan(Link& link, QObject* parent = nullptr);
    ~BusScan() override;

    // Starts the scan; the reason when it cannot (the port is closed, nothing to probe).
    QString start(int from, int to, const std::vector<int>& speeds);
    void stop();
    bool isRunning() const { return running_; }

    const std::vector<ScanFinding>& findings() const { return findings_; }

signals:
    void probing(int address, int speed, int done, int total);
    void found(const trivex::link::ScanFinding& finding);
    void echoDetected();
    void finished(const QString& outcome);

private:
    enum class Phase { EchoCheck, Probe, Release };

    void nextProbe();
    void onReplies();
    void onTimeout();
    // A finding for the address and speed being probed.
    void report(const QString& note);
    void finish(const QString& outcome);
    void wait(int ticks);
    QString settingsAt(int speed) const;

    Link& link_;
    QTimer timer_;
    QElapsedTimer sinceProbe_;
    std::vector<std::pair<int, int>> plan_; // address and speed of each probe
    std::size_t next_ = 0;
    Phase phase_ = Phase::Probe;
    protocol::Bytes reply_;
    std::vector<ScanFinding> findings_;
    bool running_ = false;
    bool echoSeen_ = false;
    QString originalSettings_;
    bool originalEcho_ = false;
    int originalThreshold_ = 0;
    std::vector<QMetaObject::Connection> connections_;
};

} // namespace trivex::link
