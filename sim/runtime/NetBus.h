#pragma once

#include "protocol/Telnet.h"
#include "sim/runtime/BusPort.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace trivex::sim {

// The bus served on the network, as a serial server serves a line: one connection at a time
// (a new one ends the one before, and finds a clean line), spoken as RFC 2217 when the program
// opens it with Telnet (it sets the line speed the modules hear) and as raw bytes at 9600 bit/s
// otherwise, on one port. Every option and COM-PORT-OPTION request is answered at once; a client
// that leaves more than kMaxUnread unread is dropped.
class NetBus : public BusPort {
    Q_OBJECT
public:
    // What may wait to be written to a client; one that reads nothing past this is dropped.
    static constexpr qint64 kMaxUnread = 64 * 1024;

    NetBus(Bus& bus, int answerDelayMs, bool echo = false, QObject* parent = nullptr);
    ~NetBus() override;

    // Listens at host:port (the loopback interface unless a host is given; port 0: any free
    // one); false with *error set when that fails.
    bool listen(const QHostAddress& host, quint16 port, QString* error);
    quint16 port() const { return server_.serverPort(); }

    QString linkPath() const override;
    QString carrier() const override;
    int lineSpeed() const override { return lineSpeed_; }

protected:
    void deliver(const std::string& bytes) override;

private:
    void onConnection();
    void onData();
    void answer(const protocol::telnet::Event& event);
    void send(const protocol::Bytes& bytes);
    // Ends the client's connection, saying why; the line is clean for the next.
    void drop(const QString& why);

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    enum class Speech { Unknown, Telnet, Raw } speech_ = Speech::Unknown;
    protocol::telnet::Reader reader_;
    int lineSpeed_ = 9600;
};

} // namespace trivex::sim
