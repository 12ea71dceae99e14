#pragma once

#include "link/Latency.h"
#include "link/LineSettings.h"
#include "link/NetworkPort.h"
#include "link/PortMap.h"
#include "link/Traffic.h"
#include "protocol/Bytes.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

namespace trivex::link {

// The program's serial communications control: a port chosen by number, configured by a
// settings string, that raises OnComm once RThreshold received bytes are waiting and hands
// all waiting bytes over on Input. Property names follow the control the program was designed
// around; the port underneath is a QSerialPort opened by device path, or a serial server on
// the network named by URL (rfc2217://host:port, tcp://host:port), which is connected without
// blocking: the port opens when the connection is ready.
class SerialControl : public QObject {
    Q_OBJECT
public:
    // CommEvent value while received bytes are being handled.
    static constexpr int comEvReceive = 2;

    // Which device a port number stands for.
    using DeviceResolver = std::function<PortChoice(int)>;

    explicit SerialControl(QObject* parent = nullptr);
    ~SerialControl() override;

    void setDeviceResolver(DeviceResolver resolver);

    // 0 means no valid port number has been set; opening then fails.
    int CommPort() const { return commPort_; }
    void setCommPort(int number);

    // Returns false, and leaves the port unable to open until a valid string is set, when the
    // string is not of the "baud,parity,data,stop" form.
    const QString& Settings() const { return settingsText_; }
    bool setSettings(const QString& text);

    // Lowering the threshold below the number of bytes already waiting raises the receive event
    // (in the next event-loop pass), as the control does, so that they are not left unseen.
    int RThreshold() const { return threshold_; }
    void setRThreshold(int count);

    // 1: Input yields bytes. Kept for completeness; Input always hands over bytes.
    int InputMode() const { return inputMode_; }
    void setInputMode(int mode) { inputMode_ = mode; }

    bool PortOpen() const;
    // Opening returns false when the port stays closed; lastError() then names the device and why.
    bool setPortOpen(bool open);

    // Writes every byte, in order, as one write. Skipped (returning false) while closed.
    bool Output(const protocol::Bytes& bytes);

    // Every received byte waiting now; they are removed from the receive buffer.
    protocol::Bytes Input();

    // Behind an adapter that hands back every byte written (echo), takes that echo out of what
    // is read before any reply is looked for; off, what is read is taken as it comes.
    void setEchoStripping(bool strip);
    bool echoStripping() const { return stripEcho_; }

    // A port that only listens (to a bus another controller drives): opened read-only without
    // asserting RTS or DTR (cleared at once, as an adapter may drive the line on them), and
    // every write refused, so that nothing can be sent by mistake. Set before it opens.
    void setListenOnly(bool listen);
    bool listenOnly() const { return listenOnly_; }
    // Whether the device or connection holds bytes that have not been read yet.
    bool hasUnread() const;

    // Changes the line settings of the open port in place (without closing it), and those it
    // opens with later; false for a string that is not of the "9600,n,8,1" form.
    bool switchSettings(const QString& text);

    // Set while an exchange waits for its reply (nested waits count); bytes that arrive
    // otherwise are unexpected.
    void setAwaitingReply(bool awaiting) { awaiting_ += awaiting ? 1 : -1; }

    int CommEvent() const { return commEvent_; }

    // The device the current port number stands for, and why the port last failed or closed
    // ("/dev/ttyUSB0 is not present").
    QString devicePath() const;
    // The device the port was last opened on, as it is recognised again when it returns.
    const DeviceIdentity& identity() const { return identity_; }
    // An event of the port's own, in words, for the traffic tap.
    void note(const QString& event) { record(TrafficEntry::Kind::Event, {}, event); }
    const QString& lastError() const { return lastError_; }
    // Why the port was last lost, without what is done about it ("/dev/ttyUSB0 went away (the
    // device was removed)"), for a program that ends rather than waits for its return.
    const QString& lostBecause() const { return lostBecause_; }
    // While the port is closed: its device and why it is closed, for the operator.
    QString closedReason() const;

    // After its device went away the port is opened again, with the same settings, as soon as
    // the device is back; this is true while it waits for that (or connects again).
    bool isWatching() const;

    // A port on the network whose first connection is under way: neither open nor refused yet.
    bool isConnecting() const;
    // Whether the line speed is set from here: not on a raw port on the network, whose line runs
    // at the server's speed.
    bool setsLineSpeed() const;
    // How long the port may hold what it reads before the program sees it, in milliseconds:
    // the adapter's latency timer where its driver reports one, an open connection's round trip
    // and then some on the network, else kDefaultReadHoldMs.
    int readHoldMs() const;
    // Whether the open device is a pseudo-terminal (a virtual module's bus): its driver cannot
    // tell what the far end has yet to read, and that end reads bytes at the speed the line has
    // when it reads them, however long ago they were written.
    bool isPseudoTerminal() const { return pseudoTerminal_; }
    // For a USB adapter whose driver refused low-latency mode: why, for the port's state; empty
    // otherwise.
    const QString& latencyRefused() const { return lowLatency_.refused; }
    // For a port on the network: the round trip measured when its connection was made; 0 for a
    // local port.
    double roundTripMs() const;

signals:
    void OnComm();
    // The port was closed because its device failed or went away.
    void portLost(const QString& reason);
    // A lost port was opened again.
    void reopened();
    // The port has just been opened.
    void opened();
    // A port on the network was opened by its first connection, made after setPortOpen returned.
    void connected();
    // Every write, every block read and every change of the port, for whoever listens; nothing
    // is recorded while nobody does.
    void traffic(const trivex::link::TrafficEntry& entry);

private:
    void onReadyRead();
    // Takes every byte Qt has read into the receive buffer; this also re-arms Qt's reading.
    void pull();
    void raiseIfEnough();
    // Waits, briefly, until what was written has left the device.
    void drainOutput();
    void onError(QSerialPort::SerialPortError error);
    bool openDevice(const QString& path);
    void closeDevice();
    bool refuse(const QString& path, const QString& reason);
    void startWatching();
    void stopWatching();
    void tryReopen();
    void record(TrafficEntry::Kind kind, const protocol::Bytes& bytes, const QString& event = QString());
    bool openNetwork(const QString& url);
    void onNetworkReady();
    void onNetworkFailed(const QString& reason);

    static constexpr int kRetryInterval = 1000;        // ms
    static constexpr int kDrainLimitMs = 250;          // beyond the wire time of what waits
    static constexpr int kLongestRetryInterval = 8000; // ms, for a serial server that stays away

    QSerialPort port_;
    QFileSystemWatcher watch_;
    QTimer retry_;
    NetworkPort net_;
    bool network_ = false; // the port is a serial server on the network
    bool netUp_ = false;   // ... whose connection was made, and has not failed since
    DeviceResolver resolver_;
    int commPort_ = 0;
    QString settingsText_;
    std::optional<LineSettings> settings_;
    int threshold_ = 0;
    int inputMode_ = 0;
    int commEvent_ = 0;
    bool lost_ = false;
    int awaiting_ = 0;
    protocol::Bytes received_; // read from the port, not yet handed over by Input
    bool stripEcho_ = false;
    protocol::Bytes echo_; // written, its echo not yet read
    QString lastError_;
    QString lostBecause_;
    QString openedPath_;
    DeviceIdentity identity_;
    int lockHandle_ = -1;   // holds the advisory lock that other serial programs honour
    LowLatency lowLatency_; // asked of a USB adapter's driver while it is open
    bool pseudoTerminal_ = false;
    bool listenOnly_ = false;
};

} // namespace trivex::link
