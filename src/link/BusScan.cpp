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
// How far past the latest acknowledge seen the allowance is widened, and how much later than
// its window and the port's hold an acknowledge may come before it is late.
constexpr int kWidenMarginMs = 4;

const QString kConfigurationNote =
    QStringLiteral("answers at the configuration address: a module renumbered to 100, or every module "
                   "listening for configuration");

QString noteFor(int address) {
    return address == protocol::kConfigurationAddress ? kConfigurationNote : QString();
}

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
    floorMs_ = std::clamp(ms, 0, 1000);
    if (!running_) {
        allowanceMs_ = std::max(floorMs_, kModuleAnswerMs);
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
    lastSpeed_ = -1;
    tailed_ = false;
    findings_.clear();
    echoSeen_ = false;
    restartFrom_ = plan_.size();
    startedAt_.assign(plan_.size(), -1);
    clock_.start();
    allowanceMs_ = std::max(floorMs_, kModuleAnswerMs);
    holdMs_ = port.readHoldMs();
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
    wait(windowMs(plan_.front().second) + holdMs_);
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

void BusScan::wait(int ms) {
    timer_.start(ms);
}

double BusScan::sinceStartOf(std::size_t probe) const {
    return static_cast<double>(clock_.nsecsElapsed() - startedAt_[probe]) / 1e6;
}

void BusScan::nextProbe() {
    SerialControl& port = link_.MSComm1;
    // What came since the last window closed belongs to earlier probes: acknowledges are
    // credited, and other bytes are told of the probe before (or, where the port holds reads
    // longer than the window, have their pass made again in a window that covers the hold).
    reply_ += port.Input();
    sortReplies();
    const bool partialAcknowledge =
        reply_.size() == 1 && static_cast<std::uint8_t>(reply_[0]) == protocol::kAcknowledge;
    if (const std::size_t owner = lastSilentProbe(next_);
        !reply_.empty() && !partialAcknowledge && owner < plan_.size() && restartFrom_ == plan_.size()) {
        const bool told = strayBytes(owner, reply_);
        reply_.clear();
        if (!told) {
            next_ = std::exchange(restartFrom_, plan_.size());
        }
    }
    // A pass ends (the next probe is at another speed, or none is left): the answers the port
    // still holds come in before the line changes.
    const bool passEnds = next_ == plan_.size() || plan_[next_].second != lastSpeed_;
    if (passEnds && lastSpeed_ >= 0 && !tailed_) {
        tailed_ = true;
        phase_ = Phase::Tail;
        wait(holdMs_ + kWidenMarginMs);
        return;
    }
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
    if (!partialAcknowledge) {
        reply_.clear();
    }
    phase_ = Phase::Probe;
    tailed_ = false;
    extended_ = false;
    lastSpeed_ = speed;
    startedAt_[next_] = clock_.nsecsElapsed();
    port.Output(protocol::startFrame(static_cast<std::uint8_t>(address)));
    wait(windowMs(speed));
}

void BusScan::onReplies() {
    reply_ += link_.MSComm1.Input();
    if (phase_ == Phase::EchoCheck) {
        return;
    }
    sortReplies();
    if (phase_ != Phase::Probe || restartFrom_ <= next_) {
        return; // no probe waits, or this one is made again anyway
    }
    const int address = plan_[next_].first;
    const protocol::Bytes own{static_cast<char>(protocol::kAcknowledge), static_cast<char>(address)};
    if (reply_.size() > own.size() && reply_.compare(reply_.size() - own.size(), own.size(), own) == 0) {
        // Bytes before this probe's acknowledge are an earlier probe's.
        const protocol::Bytes before = reply_.substr(0, reply_.size() - own.size());
        if (const std::size_t owner = lastSilentProbe(next_);
            owner < plan_.size() && !strayBytes(owner, before)) {
            return; // its pass is made again
        }
        reply_ = own;
    }
    if (reply_ != own) {
        return; // not a clean acknowledge (yet): the window decides
    }
    report(next_, sinceStartOf(next_), noteFor(address));
    phase_ = Phase::Release;
    link_.MSComm1.Output(protocol::stopFrame());
    wait(windowMs(lastSpeed_));
}

void BusScan::sortReplies() {
    const int speed = lastSpeed_;
    protocol::Bytes rest; // the current probe's own answer, part of an acknowledge, or stray bytes
    for (std::size_t at = 0; at < reply_.size();) {
        const auto byte = static_cast<std::uint8_t>(reply_[at]);
        if (byte == protocol::kStopFrame || (byte == protocol::kStartFrame && at + 1 < reply_.size())) {
            // The adapter's echo of what was written, come later than its check saw it or between
            // answers, where the port's own echo handling does not take it out.
            at += byte == protocol::kStopFrame ? 1 : 2;
            if (!echoSeen_) {
                echoSeen_ = true;
                link_.MSComm1.setEchoStripping(true);
                emit echoDetected();
            }
            continue;
        }
        if (byte != protocol::kAcknowledge || at + 1 >= reply_.size()) {
            rest += reply_[at++];
            continue;
        }
        const int address = static_cast<std::uint8_t>(reply_[at + 1]);
        // The probe this acknowledge answers: of its address, at this speed (an answer at another
        // speed cannot be read at this one), made before.
        const auto probe = std::find(plan_.begin(), plan_.end(), std::pair{address, speed});
        const auto index = static_cast<std::size_t>(probe - plan_.begin());
        if (probe == plan_.end() || startedAt_[index] < 0 || (phase_ == Phase::Probe && index == next_)) {
            rest += reply_.substr(at, 2); // its own answer, or none of a probe: the window decides
            at += 2;
            continue;
        }
        at += 2;
        if (isFound(address, speed)) {
            continue; // a released module acknowledging its stop frame, or one found already
        }
        const double ms = sinceStartOf(index);
        if (ms <= windowMs(speed) + holdMs_ + kWidenMarginMs) {
            report(index, ms, noteFor(address)); // held by the port, not late on the line
        } else {
            probeAgainFrom(index, static_cast<int>(std::ceil(
                                      ms - protocol::wireMs(kProbeBytes, speed > 0 ? speed : 4800))) -
                                      holdMs_ + kWidenMarginMs);
        }
    }
    reply_ = rest;
}

void BusScan::probeAgainFrom(std::size_t probe, int ms) {
    allowanceMs_ = std::min(1000, std::max(allowanceMs_, ms));
    emit allowanceWidened(allowanceMs_);
    restartFrom_ = std::min(restartFrom_, probe);
}

bool BusScan::strayBytes(std::size_t probe, const protocol::Bytes& bytes) {
    if (allowanceMs_ < holdMs_) {
        // Where answers the port held may be among them, which probe they belong to cannot be
        // told from when they came: the pass is made again, each probe in a window that covers
        // the hold. Once a scan at most.
        std::size_t passStart = probe;
        while (passStart > 0 && plan_[passStart - 1].second == plan_[probe].second) {
            --passStart;
        }
        probeAgainFrom(passStart, holdMs_ + kWidenMarginMs);
        return false;
    }
    // Something came back, but not the acknowledge: most likely two modules answering at once.
    report(probe, sinceStartOf(probe),
           QStringLiteral("no clean acknowledge (%1): likely two modules on this address")
               .arg(QString::fromStdString(protocol::hexText(bytes))));
    return true;
}

std::size_t BusScan::lastSilentProbe(std::size_t before) const {
    // Answers come in the order of their probes: bytes that came before a later probe's answer
    // belong to one before it that nothing has answered yet.
    for (std::size_t probe = before;
         probe-- > 0 && plan_[probe].second == lastSpeed_ && startedAt_[probe] >= 0;) {
        if (!isFound(plan_[probe].first, plan_[probe].second)) {
            return probe;
        }
    }
    return plan_.size();
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
    case Phase::Probe: {
        const int address = plan_[next_].first;
        if (reply_.size() == 1 && static_cast<std::uint8_t>(reply_[0]) == protocol::kAcknowledge &&
            !extended_) {
            extended_ = true; // the rest of an acknowledge is on its way: it is waited for once
            wait(windowMs(lastSpeed_));
            return;
        }
        const bool answered = !reply_.empty();
        if (answered && restartFrom_ > next_) {
            // A module found already answered its probe cleanly: bytes in its window are an
            // earlier probe's that nothing has answered yet, come late (two modules' garbled
            // acknowledge held by the port, or kept by a busy machine).
            std::size_t owner = next_;
            if (const std::size_t earlier = lastSilentProbe(next_);
                isFound(plan_[next_].first, plan_[next_].second) && earlier < plan_.size()) {
                owner = earlier;
            }
            strayBytes(owner, reply_);
        }
        reply_.clear();
        if (answered || restartFrom_ < plan_.size() || address == protocol::kConfigurationAddress) {
            // Whatever answered, and every module taking configuration commands, is released.
            phase_ = Phase::Release;
            link_.MSComm1.Output(protocol::stopFrame());
            wait(windowMs(lastSpeed_));
            return;
        }
        ++next_;
        break;
    }
    case Phase::Release:
        ++next_;
        break;
    case Phase::Tail:
        break;
    }
    if (restartFrom_ < plan_.size()) {
        // The probes from a late acknowledge's own on are made again, in the wider window.
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
