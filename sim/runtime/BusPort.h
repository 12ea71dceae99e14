#pragma once

#include "sim/core/Bus.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <string>

namespace trivex::sim {

// Where the program reaches the modules' bus: a pseudo-terminal (PtyBus) or a port on the
// network (NetBus). Every byte that arrives is fed to the bus; the modules answer after their
// delay plus the time their reply takes on the wire, while the line still runs at their speed.
class BusPort : public QObject {
    Q_OBJECT
public:
    // With echo, every byte written to the bus comes straight back, as from an RS485 adapter
    // that hears its own transmitter.
    BusPort(Bus& bus, int answerDelayMs, bool echo, QObject* parent = nullptr);

    Bus& bus() { return bus_; }
    // As a USB adapter with a latency timer of ms: what the program is to read is held until
    // the timer's next tick (0: handed over at once).
    void setLatency(int ms);
    // What the program names as its port: the link's path, or the URL.
    virtual QString linkPath() const = 0;
    // What carries the bus, for the operator: the pseudo-terminal, the address listened at.
    virtual QString carrier() const = 0;
    // The line speed the program's port runs at.
    virtual int lineSpeed() const = 0;

signals:
    // Bytes as they go on the line: the program's, and the modules' answers.
    void onLine(const std::string& bytes);
    void logged(const QString& line);
    void displayChanged(int module);
    void stateChanged();

protected:
    // Bytes the program wrote.
    void take(const std::string& bytes);
    // Bytes for the program.
    virtual void deliver(const std::string& bytes) = 0;
    // A new program on the line: the answers still due to the one before are dropped, and the
    // modules read from a frame boundary on.
    void newClient();
    // How many answers wait for their time.
    std::size_t answersDue() const { return due_.size(); }

private:
    void handle(const FeedResult& result);
    // Gives every answer whose time has come, and sets the timer for the next.
    void giveDue();
    // Bytes for the program, through the modelled adapter.
    void hand(const std::string& bytes);

    Bus& bus_;
    int answerDelayMs_;
    bool echo_;
    // Answers by the time they are due (since clock_ started): one timer for the next of them,
    // however many wait, so that a backlog costs in proportion to its length.
    std::multimap<qint64, Reply> due_;
    QTimer next_;
    QElapsedTimer clock_;
    QTimer latency_;   // the modelled adapter's latency timer, running while set
    std::string held_; // what it holds until its next tick
};

} // namespace trivex::sim
