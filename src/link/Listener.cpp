#include "link/Listener.h"

#include "link/NetworkAddress.h"

#include <chrono>

namespace trivex::link {

namespace {

// How often the passing of time is looked at: well inside the reply window.
constexpr int kTickMs = 20;

} // namespace

std::int64_t wallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

BusListener::BusListener(QObject* parent)
    : QObject(parent) {
    port_.setListenOnly(true);
    port_.setRThreshold(1);
    port_.setInputMode(1);
    clock_.setInterval(kTickMs);
    connect(&clock_, &QTimer::timeout, this, &BusListener::pass);
    connect(&port_, &SerialControl::OnComm, this, &BusListener::read);
    connect(&port_, &SerialControl::connected, this, &BusListener::opened);
    connect(&port_, &SerialControl::portLost, this, &BusListener::lost);
}

BusListener::~BusListener() {
    close();
}

QString BusListener::open(const QString& device, const QString& settings) {
    close();
    reader_ = protocol::BusReader();
    port_.setDeviceResolver([device](int number) {
        PortChoice choice;
        choice.number = number;
        choice.device = device;
        choice.origin = PortChoice::Origin::Keyed;
        return choice;
    });
    port_.setCommPort(1);
    if (!port_.setSettings(settings)) {
        return QStringLiteral("the line settings \"%1\" are not of the form 9600,n,8,1").arg(settings);
    }
    if (!port_.setPortOpen(true) && !port_.isConnecting()) {
        return port_.closedReason();
    }
    clock_.start();
    if (port_.PortOpen()) {
        emit opened();
    }
    return {};
}

void BusListener::close() {
    clock_.stop();
    if (port_.PortOpen() || port_.isConnecting()) {
        read();
        port_.setPortOpen(false);
    }
    const std::vector<protocol::BusFrame> rest = reader_.finish(wallMicros());
    if (!rest.empty()) {
        emit heard(rest);
    }
}

int BusListener::speed() const {
    return port_.setsLineSpeed() ? port_.Settings().section(QLatin1Char(','), 0, 0).toInt() : 0;
}

void BusListener::read() {
    const protocol::Bytes bytes = port_.Input();
    if (bytes.empty()) {
        return;
    }
    const std::vector<protocol::BusFrame> frames = reader_.feed(bytes, wallMicros());
    if (!frames.empty()) {
        emit heard(frames);
    }
}

void BusListener::pass() {
    // Bytes that wait to be read came before now: time passes with them, when they are read.
    if (port_.hasUnread()) {
        return;
    }
    const std::vector<protocol::BusFrame> frames = reader_.passTime(wallMicros());
    if (!frames.empty()) {
        emit heard(frames);
    }
}

} // namespace trivex::link
