#include "link/BusScan.h"

#include "protocol/Decoder.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <utility>

namespace trivex::link {

namespace {

// A probe's bytes on the wire: its start frame and the acknowledge that may answer it.
constexpr int kProbeBytes = 4;
// How far past the latest acknowledge seen the allowance is widened.
constexpr int kWidenMarginMs = 4;

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

void BusScan::setAnswerAllowance(int ms) {
    setAllowanceMs_ = std::clamp(ms, 0, 1000);
    if (!running_) {
        allowanceMs_ = setAllowanceMs_;
    }
}

int BusScan::windowMs(int speed) const {
    // At the server's speed, unknown here, the window is that of the slower of the modules' speeds.
    return static_cast<int>(std::lround(protocol::wireMs(kProbeBytes, speed > 0 ? speed : 4800))) +
           allowanceMs_;
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
    // A raw port on the network runs at the server's speed: one pass, at whatever speed that is.
    const std::vector<int> passes = port.setsLineSpeed() || speeds.empty() ? speeds : std::vector<int>{0};
    for (int speed : passes) {
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
    restartFrom_ = plan_.size();
    startedAt_.assign(plan_.size(), -1);
    clock_.start();
    allowanceMs_ = setAllowanceMs_;
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
    waitWindow();
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

void BusScan::waitWindow() {
    const SerialControl& port = link_.MSComm1;
    timer_.start(
        windowMs(port.setsLineSpeed() ? port.Settings().section(QLatin1Char(','), 0, 0).toInt() : 0));
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
    if (speed > 0 && !port.Settings().startsWith(QString::number(speed) + QLatin1Char(','))) {
        port.switchSettings(settingsAt(speed));
    }
    port.Input();
    reply_.clear();
    phase_ = Phase::Probe;
    sinceProbe_.start();
    startedAt_[next_] = clock_.nsecsElapsed();
    port.Output(protocol::startFrame(static_cast<std::uint8_t>(address)));
    waitWindow();
}

void BusScan::onReplies() {
    reply_ += link_.MSComm1.Input();
    if (phase_ == Phase::EchoCheck) {
        return;
    }
    creditLateAnswers();
    if (phase_ != Phase::Probe) {
        return;
    }
    const int address = plan_[next_].first;
    const bool clean =
        reply_.size() == static_cast<std::size_t>(protocol::kAcknowledgeLength) &&
        protocol::recogniseReply(reply_, static_cast<std::uint8_t>(address), protocol::kAcknowledgeLength)
            .acknowledged;
    if (!clean || restartFrom_ < plan_.size()) {
        return; // not a clean acknowledge (yet), or one that is probed again anyway: the window decides
    }
    report(next_, static_cast<double>(sinceProbe_.nsecsElapsed()) / 1e6,
           address == protocol::kConfigurationAddress ? kConfigurationNote : QString());
    phase_ = Phase::Release;
    link_.MSComm1.Output(protocol::stopFrame());
    waitWindow();
}

void BusScan::creditLateAnswers() {
    const auto [current, speed] = plan_[next_];
    for (std::size_t at = 0; at + 1 < reply_.size();) {
        const int address = static_cast<std::uint8_t>(reply_[at + 1]);
        // The probe this acknowledge answers: of its address, at this speed (an answer at another
        // speed cannot be read at this one), made before.
        const auto probe = std::find(plan_.begin(), plan_.end(), std::pair{address, speed});
        const auto index = static_cast<std::size_t>(probe - plan_.begin());
        if (static_cast<std::uint8_t>(reply_[at]) != protocol::kAcknowledge || address == current ||
            probe == plan_.end() || startedAt_[index] < 0) {
            ++at;
            continue;
        }
        reply_.erase(at, protocol::kAcknowledgeLength);
        if (isFound(address, speed) || index > next_ || index >= restartFrom_) {
            // A released module acknowledging its stop frame, or an answer to a probe that is
            // made again anyway.
            continue;
        }
        const double ms = static_cast<double>(clock_.nsecsElapsed() - startedAt_[index]) / 1e6;
        report(index, ms,
               address == protocol::kConfigurationAddress ? kConfigurationNote
                                                          : QStringLiteral("answered after its window"));
        allowanceMs_ =
            std::min(1000, std::max(allowanceMs_,
                                    static_cast<int>(std::ceil(ms - protocol::wireMs(kProbeBytes, speed))) +
                                        kWidenMarginMs));
        emit allowanceWidened(allowanceMs_);
        restartFrom_ = std::min(restartFrom_, index + 1);
    }
}

bool BusScan::isFound(int address, int speed) const {
    return std::any_of(findings_.begin(), findings_.end(), [&](const ScanFinding& finding) {
        return finding.address == address && finding.speed == speed;
    });
}

void BusScan::report(std::size_t probe, double replyMs, const QString& note) {
    const auto [address, speed] = plan_[probe];
    if (isFound(address, speed)) {
        return; // probed again after a late acknowledge
    }
    findings_.push_back({address, speed, replyMs, note});
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
            report(next_, static_cast<double>(sinceProbe_.nsecsElapsed()) / 1e6,
                   QStringLiteral("no clean acknowledge (%1): likely two modules on this address")
                       .arg(QString::fromStdString(protocol::hexText(reply_))));
        }
        if (!reply_.empty() || restartFrom_ < plan_.size() ||
            plan_[next_].first == protocol::kConfigurationAddress) {
            // Whatever answered, and every module taking configuration commands, is released.
            phase_ = Phase::Release;
            link_.MSComm1.Output(protocol::stopFrame());
            waitWindow();
            return;
        }
        ++next_;
        break;
    case Phase::Release:
        ++next_;
        break;
    }
    if (restartFrom_ < plan_.size()) {
        // The probes after a late acknowledge are made again, in the wider window.
        next_ = std::exchange(restartFrom_, plan_.size());
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
