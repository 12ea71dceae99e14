#pragma once

#include "link/LineSettings.h"
#include "link/NetworkAddress.h"
#include "protocol/Telnet.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <set>

namespace trivex::link {

// A serial port behind a serial server on the network. Connecting, the name lookup and the
// RFC 2217 negotiation never block: ready() or failed() follows within kConnectTimeoutMs. Over
// RFC 2217 the line is set on the far side (speed, data bits, parity, stop bits, then no flow
// control and DTR and RTS on, whose answers are not waited for: a server in front of a
// pseudo-terminal gives none), data bytes 0xFF are doubled both ways, the server's
// notifications are read and let go, and while the port is idle the server is asked for its
// speed now and then, so that one that stopped answering is found out. A raw port carries the
// bytes as they are, at the server's speed.
class NetworkPort : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 3000;
    // While idle, the server is asked this often, and must answer within kConnectTimeoutMs.
    static constexpr int kLivenessIntervalMs = 2000;

    // A server that refuses a new connection, or closes it at once (ser2net does while it still
    // lets the previous client's device go), is tried again after this pause, within the time.
    static constexpr int kRetryPauseMs = 100;

    explicit NetworkPort(QObject* parent = nullptr);

    // Whether a name lookup was given up on in this process: the resolver may still be at work,
    // and a program that ends now would wait for it.
    static bool lookupAbandoned();

    void open(const NetworkAddress& address, const LineSettings& settings);
    // A port that only listens sets the line's speed and format on the server but never its
    // modem lines, and writes no data.
    void setListenOnly(bool listen) { listenOnly_ = listen; }
    void close();
    bool isReady() const { return ready_; }
    bool isConnecting() const { return trying_; }

    void write(const protocol::Bytes& bytes);
    // The data received since the last call.
    protocol::Bytes readAll();
    // The connection's socket, -1 while there is none.
    qintptr descriptor() const { return socket_.socketDescriptor(); }
    // New line settings, set on the far side over RFC 2217; a raw port runs at the server's.
    void applySettings(const LineSettings& settings);
    // RFC 2217: from sending the line settings to the server's last answer to them; raw: the
    // time the connection took.
    double roundTripMs() const { return roundTripMs_; }

signals:
    void ready();
    void readyRead();
    // Not ready within the time, refused, or a connection that ended; in words ("refused the
    // connection: nothing listens at 127.0.0.1:4001").
    void failed(const QString& reason);

private:
    void onConnected();
    void onData();
    void onSocketError();
    void handle(const protocol::telnet::Event& event);
    void sendSettings();
    void becomeReady();
    void fail(const QString& reason);

    QTcpSocket socket_;
    QTimer deadline_;    // the connection and its negotiation
    QTimer idle_;        // RFC 2217: time to ask the server whether it is still there
    QTimer answer_;      // ... and the time it has to answer
    QTimer again_;       // a refused or at once closed connection, tried again
    QString turnedAway_; // why the last try was turned away; told when the time is up
    NetworkAddress address_;
    LineSettings settings_;
    protocol::telnet::Reader reader_;
    protocol::Bytes received_;
    QElapsedTimer sinceStart_;
    int settingsUnanswered_ = 0; // answers still due to the line settings sent at the start
    bool comPortAccepted_ = false;
    bool ready_ = false;
    bool trying_ = false; // from open() until ready or told why not
    bool listenOnly_ = false;
    double roundTripMs_ = 0;
    std::set<std::pair<int, int>> refused_; // options refused once, so that no refusal loops
};

} // namespace trivex::link
