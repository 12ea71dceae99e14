#pragma once

#include <QObject>
#include <QString>

// Requests to end a run before its end: SIGINT, SIGTERM and SIGHUP, and standard input ending
// while a prompt waits for it. A run that is asked to stop finishes what is on the wire, sends
// the stop frame it owes the bus, records where it stopped and ends with kInterrupted.
namespace trivex::ctl {

class StopRequests : public QObject {
    Q_OBJECT
public:
    static StopRequests& instance();

    // From now on the three signals are requests to stop rather than the end of the program.
    void watchSignals();
    // Also between two writes, with no event handled since the signal came.
    bool requested() const;
    // "SIGINT came", "standard input ended at a prompt"; empty while none was made.
    QString reason() const;
    void request(const QString& reason);

signals:
    // A request was made (a signal is told at the next event-loop pass).
    void stopRequested();

private:
    StopRequests() = default;
    QString reason_;
};

// Shows text on standard output and waits for a line on standard input. False when none came:
// its end (a request to stop is then made) or a signal.
bool prompt(const QString& text);

// Waits ms milliseconds with the port's events handled; a request to stop ends it early.
void pause(int ms);

} // namespace trivex::ctl
