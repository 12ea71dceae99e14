#include "sim/runtime/NetBus.h"

#include <utility>

namespace trivex::sim {

namespace tn = protocol::telnet;

namespace {

// What is read from a client and fed to the bus in one pass.
constexpr qint64 kReadBlock = 4096;

} // namespace

NetBus::NetBus(Bus& bus, int answerDelayMs, bool echo, QObject* parent)
    : BusPort(bus, answerDelayMs, echo, parent) {
    connect(&server_, &QTcpServer::newConnection, this, &NetBus::onConnection);
}

NetBus::~NetBus() {
    // The connections go with the server; nothing of this object is told of it.
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
        socket->disconnect(this);
    }
}

bool NetBus::listen(const QHostAddress& host, quint16 port, QString* error) {
    if (!server_.listen(host, port)) {
        *error = QStringLiteral("cannot listen at %1:%2: %3")
                     .arg(host.toString())
                     .arg(port)
                     .arg(server_.errorString());
        return false;
    }
    return true;
}

QString NetBus::linkPath() const {
    const QHostAddress host = server_.serverAddress();
    const QString shown = host.protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[%1]").arg(host.toString())
                              : host.toString();
    return QStringLiteral("rfc2217://%1:%2").arg(shown).arg(server_.serverPort());
}

QString NetBus::carrier() const {
    return QStringLiteral("TCP port %1, RFC 2217 or raw").arg(server_.serverPort());
}

void NetBus::onConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (client_) {
            // One master on the line at a time: the newest, as a program that lost its
            // connection without knowing comes back on a new one.
            emit logged(QStringLiteral("  connection from %1:%2 ended by a newer one")
                            .arg(client_->peerAddress().toString())
                            .arg(client_->peerPort()));
            // Its disconnection lets it go (and deletes it later).
            std::exchange(client_, nullptr)->abort();
        }
        client_ = socket;
        newClient();
        speech_ = Speech::Unknown;
        reader_ = tn::Reader();
        lineSpeed_ = 9600;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // What a client leaves unread or sends unasked waits in small buffers: a flood is
        // slowed at its source and a client that reads nothing is found out soon.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kMaxUnread);
        socket->setReadBufferSize(kMaxUnread);
        connect(socket, &QTcpSocket::readyRead, this, &NetBus::onData);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (client_ == socket) {
                client_ = nullptr; // what it left unread goes with it
            }
            socket->deleteLater();
        });
        emit logged(QStringLiteral("  connection from %1:%2")
                        .arg(socket->peerAddress().toString())
                        .arg(socket->peerPort()));
    }
}

void NetBus::onData() {
    if (const auto* socket = qobject_cast<QTcpSocket*>(sender());
        !client_ || !client_->isOpen() || (socket && socket != client_)) {
        return; // a connection ended by a newer one
    }
    // A block at a time, so that timers, new connections and signals have their turn between
    // blocks however much a client sends.
    const QByteArray block = client_->read(kReadBlock);
    if (client_->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(this, &NetBus::onData, Qt::QueuedConnection);
    }
    protocol::Bytes bytes(block.constData(), static_cast<std::size_t>(block.size()));
    if (speech_ == Speech::Unknown && !bytes.empty()) {
        // A Telnet client opens with a command; the bus's own bytes never begin with 0xFF.
        speech_ = static_cast<std::uint8_t>(bytes[0]) == tn::kIac ? Speech::Telnet : Speech::Raw;
    }
    if (speech_ == Speech::Telnet) {
        std::vector<tn::Event> events;
        bytes = reader_.feed(bytes, events);
        for (const tn::Event& event : events) {
            answer(event);
            if (!client_) {
                return; // dropped meanwhile
            }
        }
    }
    if (!bytes.empty()) {
        take(bytes);
    }
}

// Binary, suppressed go-ahead and the COM-PORT-OPTION are taken; every other option refused.
// Each line setting is answered with its value; a speed of 0 asks for the current one.
void NetBus::answer(const tn::Event& event) {
    if (!event.subnegotiation) {
        const bool taken = event.option == tn::kBinary || event.option == tn::kSuppressGoAhead ||
                           event.option == tn::kComPort;
        if (event.verb == tn::kWill) {
            send(tn::command(taken ? tn::kDo : tn::kDont, event.option));
        } else if (event.verb == tn::kDo) {
            send(tn::command(taken ? tn::kWill : tn::kWont, event.option));
        }
        return;
    }
    if (event.option != tn::kComPort || event.payload.empty()) {
        return;
    }
    const auto code = static_cast<std::uint8_t>(event.payload[0]);
    protocol::Bytes value = event.payload.substr(1);
    if (code == tn::kSetBaudRate) {
        if (const std::uint32_t rate = tn::baudOf(value); rate != 0) {
            lineSpeed_ = static_cast<int>(rate);
            emit logged(QStringLiteral("  line speed set to %1 bit/s").arg(rate));
        }
        value = tn::baudValue(static_cast<std::uint32_t>(lineSpeed_));
    }
    send(tn::comPort(static_cast<std::uint8_t>(code + tn::kServerOffset), value));
}

void NetBus::send(const protocol::Bytes& bytes) {
    if (!client_) {
        return;
    }
    if (client_->bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxUnread) {
        drop(QStringLiteral("it read nothing while %1 KiB of answers waited").arg(kMaxUnread / 1024));
        return;
    }
    client_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void NetBus::drop(const QString& why) {
    emit logged(QStringLiteral("  connection from %1:%2 dropped: %3")
                    .arg(client_->peerAddress().toString())
                    .arg(client_->peerPort())
                    .arg(why));
    std::exchange(client_, nullptr)->abort(); // deleted later, once disconnected
    newClient();
}

void NetBus::deliver(const std::string& bytes) {
    send(speech_ == Speech::Telnet ? tn::escape(bytes) : bytes);
}

} // namespace trivex::sim
