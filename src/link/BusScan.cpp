#include "link/BusScan.h"

#include "protocol/Decoder.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <QStringList>

namespace trivex::link {

namespace {

// A stop frame's echo comes back within this many ticks, as does the acknowledge a module may
// give to the stop frame that releases it.
constexpr int kShortWaitTicks = 3;

const QString kConfigurationNote =
    QStringLiteral("answers at the configuration address: a module renumbered to 100, or every module "
                   "listening for configuration");

} // namespace

BusScan::BusScan(Link& link, QObject* parent)
    : QObject(parent)
    , link_(link) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BusScan::onTimeout);
}

BusScan::~BusScan() {
    stop();
}

QString BusScan::start(int from, int to, const std::vector<int>& speeds) {
    SerialControl& port = link_.MSComm1;
    if (running_) {
        return QStringLiteral("a scan is running");
    }
    if (!port.PortOpen()) {
        return port.closedReason();
    }
    plan_.clear();
    for (int speed : speeds) {
        for (int address = from; address <= to; ++address) {
            plan_.emplace_back(address, speed);
        }
    }
    if (plan_.empty()) {
        return QStringLiteral(
            "there is nothing to probe: choose a speed, and a first address not above the last");
    }
    running_ = true;
    next_ = 0;
    findings_.clear();
    echoSeen_ = false;
    originalSettings_ = port.Settings();
    originalEcho_ = port.echoStripping();
    originalThreshold_ = port.RThreshold();
    link_.holdReplies(true);
    port.setRThreshold(1);
    port.setEchoStripping(false);
    connections_ = {connect(&port, &SerialControl::OnComm, this, &BusScan::onReplies),
                    connect(&port, &SerialControl::portLost, this,
                            [this](const QString& reason) { finish(QStringLiteral("stopped: ") + reason); })};
    // With nothing selected a stop frame does no harm; an adapter that echoes hands it back.
    port.Input();
    reply_.clear();
    phase_ = Phase::EchoCheck;
    port.Output(protocol::stopFrame());
    wait(kShortWaitTicks);
    return {};
}

void BusScan::stop() {
    if (running_) {
        finish(QStringLiteral("stopped"));
    }
}

QString BusScan::settingsAt(int speed) const {
    QStringList fields = originalSettings_.split(QLatin1Char(','));
    fields[0] = QString::number(speed);
    return fields.join(QLatin1Char(','));
}

void BusScan::wait(int ticks) {
    timer_.start(static_cast<int>(kTickLength.count()) * ticks);
}

void BusScan::nextProbe() {
    SerialControl& port = link_.MSComm1;
    if (next_ == plan_.size()) {
        finish(QStringLiteral("done"));
        return;
    }
    if (!port.PortOpen()) {
        finish(QStringLiteral("stopped: ") + port.closedReason());
        return;
    }
    const auto [address, speed] = plan_[next_];
    emit probing(address, speed, static_cast<int>(next_), static_cast<int>(plan_.size()));
    if (!port.Settings().startsWith(QString::number(speed) + QLatin1Char(','))) {
        port.switchSettings(settingsAt(speed));
    }
    port.Input();
    reply_.clear();
    phase_ = Phase::Probe;
    sinceProbe_.start();
    port.Output(protocol::startFrame(static_cast<std::uint8_t>(address)));
    wait(kReplyTicks);
}

void BusScan::onReplies() {
    reply_ += link_.MSComm1.Input();
    if (phase_ != Phase::Probe) {
        return;
    }
    const int address = plan_[next_].first;
    const bool clean =
        reply_.size() == static_cast<std::size_t>(protocol::kAcknowledgeLength) &&
        protocol::recogniseReply(reply_, static_cast<std::uint8_t>(address), protocol::kAcknowledgeLength)
            .acknowledged;
    if (!clean) {
        return; // not a clean acknowledge (yet): the reply window decides
    }
    report(address == protocol::kConfigurationAddress ? kConfigurationNote : QString());
    phase_ = Phase::Release;
    link_.MSComm1.Output(protocol::stopFrame());
    wait(kShortWaitTicks);
}

void BusScan::report(const QString& note) {
    const auto [address, speed] = plan_[next_];
    findings_.push_back({address, speed, static_cast<double>(sinceProbe_.nsecsElapsed()) / 1e6, note});
    emit found(findings_.back());
}

void BusScan::onTimeout() {
    switch (phase_) {
    case Phase::EchoCheck:
        if (reply_ == protocol::stopFrame()) {
            echoSeen_ = true;
            emit echoDetected();
        }
        link_.MSComm1.setEchoStripping(echoSeen_ || originalEcho_);
        break;
    case Phase::Probe:
        if (!reply_.empty()) {
            // Something came back, but not the acknowledge: most likely two modules answering at once.
            report(QStringLiteral("no clean acknowledge (%1): likely two modules on this address")
                       .arg(QString::fromStdString(protocol::hexText(reply_))));
        }
        if (!reply_.empty() || plan_[next_].first == protocol::kConfigurationAddress) {
            // Whatever answered, and every module taking configuration commands, is released.
            phase_ = Phase::Release;
            link_.MSComm1.Output(protocol::stopFrame());
            wait(kShortWaitTicks);
            return;
        }
        ++next_;
        break;
    case Phase::Release:
        ++next_;
        break;
    }
    nextProbe();
}

void BusScan::finish(const QString& outcome) {
    timer_.stop();
    for (const QMetaObject::Connection& connection : connections_) {
        disconnect(connection);
    }
    connections_.clear();
    SerialControl& port = link_.MSComm1;
    port.switchSettings(originalSettings_);
    port.setEchoStripping(originalEcho_);
    port.setRThreshold(originalThreshold_);
    port.Input();
    link_.holdReplies(false);
    running_ = false;
    emit finished(outcome);
}

} // namespace trivex::link
