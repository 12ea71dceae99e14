#pragma once

#include "link/Link.h"
#include "link/PortMap.h"
#include "link/SharedVariables.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// The port's life, below the windows and free of them: a program without a display uses it as
// the windows do.
namespace trivex::session {

// The one serial port of a run, and everything about its life: the shared variables and the
// link (and so MSComm1), which device a COM number means and the device a port was opened on,
// opening it at start-up, switching it, losing and regaining it, a bus scan's claim on it, the
// adapter's echo, the stop frame owed after a cut-off configuration command. It tells every
// change of its state by a signal; what the operator is shown of it is the windows' business.
class PortSession : public QObject {
    Q_OBJECT
public:
    explicit PortSession(QObject* parent = nullptr);

    link::SharedVariables& variables() { return variables_; }
    link::Link& link() { return link_; }
    link::SerialControl& MSComm1() { return link_.MSComm1; }
    const link::SerialControl& MSComm1() const { return link_.MSComm1; }
    const link::PortMap& ports() const { return ports_; }

    // Takes the port number and settings stored (into strCommPort and strSettings), configures
    // the port completely from them and opens it. On a first start (no settings file at all) with
    // exactly one serial device present, that device is the port, at 9600,n,8,1 unless settings
    // were stored. False when it stays closed.
    bool openAtStartUp();
    // Closes the port, takes number and settings (into strCommPort and strSettings too) and
    // opens it again; false when it stays closed.
    bool switchPort(int number, const QString& settings);
    // The port on a device named by its path rather than by a COM number, for the rest of the
    // run; false when it stays closed.
    bool openDevice(const QString& path, const QString& settings);

    // The port's state in words ("COM1 open: /dev/ttyUSB0 (FTDI ...) at 9600,n,8,1", "COM3
    // closed: /dev/ttyUSB1 is not present."), and while it is closed, its device and why.
    QString portState() const;
    QString closedReason() const;

    // A bus scan claims the port: why one may not start now, as the guard that the windows give
    // says (a module selected, a window whose commands would cross the probes; empty when it
    // may), and while it runs.
    void setScanGuard(std::function<QString()> guard) { scanGuard_ = std::move(guard); }
    QString scanRefusal() const;
    void setScanning(bool scanning);
    bool isScanning() const { return scanning_; }
    // A module the scan found taken over: its address for the windows, its speed for the port.
    void useFoundModule(int address, int speed);

    // Whether the adapter's echo is taken out of what is read: the operator's choice, in force
    // whenever no scan handles the echo itself.
    void setIgnoreEcho(bool ignore);
    bool ignoreEcho() const { return ignoreEcho_; }

signals:
    // The port was opened, closed, switched, lost or regained.
    void stateChanged();
    // The port was closed because its device failed or went away.
    void portLost(const QString& reason);
    void scanningChanged(bool scanning);
    void moduleChosen(int address);

private:
    link::SharedVariables variables_;
    link::Link link_;
    link::PortMap ports_;
    QString device_; // a device named by its path, for every COM number
    std::function<QString()> scanGuard_;
    bool scanning_ = false;
    bool ignoreEcho_ = false;
};

// Whether the port that the settings name for start-up is looked for among the serial devices of
// this machine: not when section "Ports" names a path for it and nothing is there.
bool startUpNeedsDevices();

// A yes-or-no setting: 1, true or yes; 0, false, no or nothing (in any case). No value for any
// other word.
std::optional<bool> parseFlag(const QString& text);

// The text with its first letter in upper case, for a reason that starts a sentence.
QString capitalised(const QString& text);

} // namespace trivex::session
