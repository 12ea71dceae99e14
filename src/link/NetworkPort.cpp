#include "link/NetworkPort.h"

namespace trivex::link {

namespace tn = protocol::telnet;

namespace {

std::uint8_t parityCode(QSerialPort::Parity parity) {
    switch (parity) {
    case QSerialPort::OddParity:
        return 2;
    case QSerialPort::EvenParity:
        return 3;
    case QSerialPort::MarkParity:
        return 4;
    case QSerialPort::SpaceParity:
        return 5;
    default:
        return 1;
    }
}

// What is kept of the bytes a server sends before it is ready.
constexpr std::size_t kGreetingKept = 1024;

protocol::Bytes byte(std::uint8_t value) {
    return protocol::Bytes(1, static_cast<char>(value));
}

bool& abandonedLookup() {
    static bool abandoned = false;
    return abandoned;
}

} // namespace

bool NetworkPort::lookupAbandoned() {
    return abandonedLookup();
}

NetworkPort::NetworkPort(QObject* parent)
    : QObject(parent) {
    deadline_.setSingleShot(true);
    answer_.setSingleShot(true);
    again_.setSingleShot(true);
    connect(&again_, &QTimer::timeout, this, [this] {
        sinceStart_.start();
        socket_.connectToHost(address_.host, address_.port);
    });
    idle_.setInterval(kLivenessIntervalMs);
    connect(&socket_, &QTcpSocket::connected, this, &NetworkPort::onConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &NetworkPort::onData);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &NetworkPort::onSocketError);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        const QString seconds = QString::number(kConnectTimeoutMs / 1000);
        if (socket_.state() == QAbstractSocket::HostLookupState) {
            abandonedLookup() = true;
            fail(QStringLiteral("cannot be reached: the name lookup of %1 did not finish within %2 s")
                     .arg(address_.host, seconds));
        } else if (socket_.state() == QAbstractSocket::ConnectedState) {
            fail(QStringLiteral("did not finish the RFC 2217 negotiation within %1 s").arg(seconds));
        } else {
            fail(turnedAway_.isEmpty() ? QStringLiteral("did not answer within %1 s").arg(seconds)
                                       : turnedAway_);
        }
    });
    connect(&idle_, &QTimer::timeout, this, [this] {
        if (!answer_.isActive()) {
            socket_.write(QByteArray::fromStdString(tn::comPort(tn::kSetBaudRate, tn::baudValue(0))));
            answer_.start(kConnectTimeoutMs);
        }
    });
    connect(&answer_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("stopped answering: no answer to a speed query within %1 s")
                 .arg(kConnectTimeoutMs / 1000));
    });
}

void NetworkPort::open(const NetworkAddress& address, const LineSettings& settings) {
    close();
    address_ = address;
    settings_ = settings;
    reader_ = tn::Reader();
    received_.clear();
    refused_.clear();
    comPortAccepted_ = false;
    settingsUnanswered_ = 0;
    roundTripMs_ = 0;
    turnedAway_.clear();
    trying_ = true;
    sinceStart_.start();
    deadline_.start(kConnectTimeoutMs);
    socket_.connectToHost(address.host, address.port);
}

void NetworkPort::close() {
    trying_ = false;
    again_.stop();
    deadline_.stop();
    idle_.stop();
    answer_.stop();
    ready_ = false;
    socket_.abort();
}

void NetworkPort::onConnected() {
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    if (address_.kind == NetworkAddress::Kind::Tcp) {
        roundTripMs_ = static_cast<double>(sinceStart_.nsecsElapsed()) / 1e6;
        becomeReady();
        return;
    }
    protocol::Bytes offer;
    for (const auto& [verb, option] : {std::pair{tn::kWill, tn::kBinary},
                                       {tn::kDo, tn::kBinary},
                                       {tn::kWill, tn::kSuppressGoAhead},
                                       {tn::kDo, tn::kSuppressGoAhead},
                                       {tn::kWill, tn::kComPort}}) {
        offer += tn::command(verb, option);
    }
    socket_.write(QByteArray::fromStdString(offer));
}

void NetworkPort::sendSettings() {
    const LineSettings& s = settings_;
    protocol::Bytes out =
        tn::comPort(tn::kSetBaudRate, tn::baudValue(static_cast<std::uint32_t>(s.baudRate)));
    out += tn::comPort(tn::kSetDataSize, byte(static_cast<std::uint8_t>(s.dataBits)));
    out += tn::comPort(tn::kSetParity, byte(parityCode(s.parity)));
    out += tn::comPort(tn::kSetStopSize, byte(s.stopBits == QSerialPort::TwoStop ? 2 : 1));
    socket_.write(QByteArray::fromStdString(out));
}

void NetworkPort::applySettings(const LineSettings& settings) {
    settings_ = settings;
    if (ready_ && address_.kind == NetworkAddress::Kind::Rfc2217) {
        sendSettings();
    }
}

void NetworkPort::becomeReady() {
    deadline_.stop();
    trying_ = false;
    ready_ = true;
    if (address_.kind == NetworkAddress::Kind::Rfc2217) {
        idle_.start();
    }
    received_.clear(); // what came before the line was set (a greeting) is no bus traffic
    emit ready();
}

void NetworkPort::handle(const tn::Event& event) {
    if (event.subnegotiation) {
        if (event.option != tn::kComPort || event.payload.empty()) {
            return;
        }
        answer_.stop(); // the server answers
        const auto code = static_cast<std::uint8_t>(event.payload[0]);
        const bool settingAnswered =
            code >= tn::kServerOffset + tn::kSetBaudRate && code <= tn::kServerOffset + tn::kSetStopSize;
        if (!ready_ && settingAnswered && settingsUnanswered_ > 0 && --settingsUnanswered_ == 0) {
            roundTripMs_ = static_cast<double>(sinceStart_.nsecsElapsed()) / 1e6;
            becomeReady();
        }
        return; // the other answers and the server's notifications change nothing here
    }
    if (event.option == tn::kComPort &&
        (event.verb == tn::kDo || event.verb == tn::kDont || event.verb == tn::kWont)) {
        if (event.verb == tn::kDo && !comPortAccepted_) {
            comPortAccepted_ = true;
            sinceStart_.start();
            settingsUnanswered_ = 4;
            sendSettings();
            // Without flow control, DTR and RTS on (unless it only listens): answers to these
            // are not awaited.
            for (std::uint8_t control : {1, 8, 11}) {
                if (!listenOnly_ || control == 1) {
                    socket_.write(QByteArray::fromStdString(tn::comPort(tn::kSetControl, byte(control))));
                }
            }
        } else if (event.verb != tn::kDo && !ready_) {
            fail(QStringLiteral("refused the COM-PORT-OPTION of RFC 2217, so the line cannot be set there; a "
                                "server that only relays bytes is named tcp://"));
        }
        return;
    }
    const bool ours = event.option == tn::kBinary || event.option == tn::kSuppressGoAhead;
    if ((event.verb == tn::kDo || event.verb == tn::kWill) && !ours &&
        refused_.insert({event.verb, event.option}).second) {
        socket_.write(QByteArray::fromStdString(
            tn::command(event.verb == tn::kDo ? tn::kWont : tn::kDont, event.option)));
    }
}

void NetworkPort::onData() {
    const QByteArray block = socket_.readAll();
    const protocol::Bytes bytes(block.constData(), static_cast<std::size_t>(block.size()));
    if (address_.kind == NetworkAddress::Kind::Tcp) {
        received_ += bytes;
    } else {
        std::vector<tn::Event> events;
        received_ += reader_.feed(bytes, events);
        for (const tn::Event& event : events) {
            handle(event);
            if (socket_.state() == QAbstractSocket::UnconnectedState) {
                return; // failed meanwhile
            }
        }
    }
    if (ready_ && !received_.empty()) {
        emit readyRead();
    } else if (received_.size() > kGreetingKept) {
        // Before the line is set, only the end of what came is kept: the words of a server that
        // turns the connection away.
        received_.erase(0, received_.size() - kGreetingKept);
    }
}

void NetworkPort::write(const protocol::Bytes& bytes) {
    if (listenOnly_) {
        return;
    }
    const protocol::Bytes wire = address_.kind == NetworkAddress::Kind::Rfc2217 ? tn::escape(bytes) : bytes;
    socket_.write(wire.data(), static_cast<qint64>(wire.size()));
    socket_.flush();
}

protocol::Bytes NetworkPort::readAll() {
    protocol::Bytes bytes;
    bytes.swap(received_);
    return bytes;
}

void NetworkPort::onSocketError() {
    const QString where = QStringLiteral("%1:%2").arg(address_.host).arg(address_.port);
    const bool turnedAway = !ready_ && (socket_.error() == QAbstractSocket::ConnectionRefusedError ||
                                        socket_.error() == QAbstractSocket::RemoteHostClosedError);
    if (turnedAway && deadline_.remainingTime() > kRetryPauseMs) {
        // Turned away before the line was ready: a server still letting the previous client go,
        // or one that is just starting. Tried again within the time; told only when it is up.
        const QString said = QString::fromLatin1(QByteArray::fromStdString(received_)).trimmed();
        turnedAway_ = socket_.error() == QAbstractSocket::ConnectionRefusedError
                          ? QStringLiteral("refused the connection: nothing listens at %1").arg(where)
                      : said.isEmpty() ? QStringLiteral("closed the connection")
                                       : QStringLiteral("closed the connection: %1").arg(said.left(200));
        socket_.abort();
        reader_ = tn::Reader();
        received_.clear();
        refused_.clear();
        comPortAccepted_ = false;
        settingsUnanswered_ = 0;
        again_.start(kRetryPauseMs);
        return;
    }
    switch (socket_.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(QStringLiteral("refused the connection: nothing listens at %1").arg(where));
        break;
    case QAbstractSocket::HostNotFoundError:
        fail(QStringLiteral("cannot be reached: the name %1 does not resolve").arg(address_.host));
        break;
    case QAbstractSocket::RemoteHostClosedError: {
        // A server that turns a connection away says why before it closes it.
        const QString said = QString::fromLatin1(QByteArray::fromStdString(received_)).trimmed();
        fail(ready_ || said.isEmpty() ? QStringLiteral("closed the connection")
                                      : QStringLiteral("closed the connection: %1").arg(said.left(200)));
        break;
    }
    default:
        fail(QStringLiteral("cannot be reached: %1").arg(socket_.errorString()));
        break;
    }
}

void NetworkPort::fail(const QString& reason) {
    if (!trying_ && !ready_) {
        return; // failed already, or closed
    }
    close();
    emit failed(reason);
}

} // namespace trivex::link
