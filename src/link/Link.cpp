#include "link/Link.h"

#include "protocol/Markers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <limits>

namespace trivex::link {

Link::Link(SharedVariables& variables, QObject* parent)
    : QObject(parent)
    , vars_(variables) {
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kTickLength);
    connect(&Timer1, &QTimer::timeout, this, &Link::Timer1_Timer);
    connect(&MSComm1, &SerialControl::OnComm, this, &Link::MSComm1_OnComm);
    connect(&MSComm1, &SerialControl::opened, this, &Link::payOwedStopFrame);
}

void Link::payOwedStopFrame() {
    if (!owed_) {
        return;
    }
    const QString where = QStringLiteral("%1 at %2").arg(owed_->device.describe(), owed_->settings);
    if (!(MSComm1.identity() == owed_->device) || MSComm1.Settings() != owed_->settings) {
        MSComm1.note(
            QStringLiteral("a stop frame is still owed to %1: it goes out when that port is open again")
                .arg(where));
        return;
    }
    if (MSComm1.Output(protocol::stopFrame())) {
        MSComm1.note(QStringLiteral("the stop frame owed to %1 was sent").arg(where));
        owed_.reset();
    }
}

void Link::waitForReply() {
    MSComm1.setAwaitingReply(true);
    WaitTicks(kReplyTicks);
    MSComm1.setAwaitingReply(false);
}

bool Link::writeConfiguration(const protocol::Bytes& write1, const protocol::Bytes& write2) {
    if (!MSComm1.Output(write1)) {
        return false;
    }
    vars_.strCommand = write2;
    if (MSComm1.Output(vars_.strCommand)) {
        return true;
    }
    if (!MSComm1.Output(protocol::stopFrame())) {
        owed_ = OwedStopFrame{MSComm1.identity(), MSComm1.Settings()};
        MSComm1.note(
            QStringLiteral("a stop frame is owed to %1 at %2: the configuration command after the start "
                           "frame did not go out")
                .arg(owed_->device.describe(), owed_->settings));
    }
    return false;
}

bool Link::SendCommand(const protocol::Bytes& bytes) {
    vars_.strCommand = bytes;
    return MSComm1.PortOpen() && MSComm1.Output(vars_.strCommand);
}

void Link::WaitTicks(std::int16_t count) {
    vars_.intTicks = 0;
    Timer1.start();
    // ">=" rather than "==": a nested wait leaves the count at its own end, and a count that
    // ran past the mark must still end the wait.
    while (vars_.intTicks < count) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // A wait started meanwhile stops the timer when it ends; keep ticking for this one.
        if (vars_.intTicks < count && !Timer1.isActive()) {
            Timer1.start();
        }
    }
    Timer1.stop();
}

void Link::Timer1_Timer() {
    if (vars_.intTicks < std::numeric_limits<std::int16_t>::max()) {
        ++vars_.intTicks;
    }
}

void Link::MSComm1_OnComm() {
    if (held_ || MSComm1.CommEvent() != SerialControl::comEvReceive) {
        return;
    }
    const protocol::Bytes block = MSComm1.Input();
    const protocol::Reply reply = protocol::recogniseReply(block, vars_.bytAddress, MSComm1.RThreshold());
    if (reply.acknowledged) {
        vars_.bResponse = true;
    }
    if (reply.status) {
        vars_.bytInput = *reply.status;
    }
}

bool Link::selectDevice(std::uint8_t address) {
    vars_.bytAddress = address;
    SendCommand(protocol::startFrame(address));
    vars_.bResponse = false;
    waitForReply();
    return vars_.bResponse;
}

protocol::Bytes Link::probe(std::uint8_t address, std::int16_t ticks) {
    protocol::Bytes heard;
    const int threshold = MSComm1.RThreshold();
    holdReplies(true);
    MSComm1.setRThreshold(1);
    MSComm1.Input();
    const auto connection =
        connect(&MSComm1, &SerialControl::OnComm, this, [this, &heard] { heard += MSComm1.Input(); });
    vars_.bytAddress = address;
    SendCommand(protocol::startFrame(address));
    MSComm1.setAwaitingReply(true);
    WaitTicks(ticks);
    MSComm1.setAwaitingReply(false);
    heard += MSComm1.Input();
    disconnect(connection);
    MSComm1.setRThreshold(threshold);
    holdReplies(false);
    return heard;
}

bool Link::releaseDevice() {
    SendCommand(protocol::stopFrame());
    waitForReply();
    return vars_.bResponse;
}

InputOutcome Link::queryInput() {
    MSComm1.setRThreshold(protocol::kInputReplyLength);
    SendCommand(protocol::inputStatusQuery());
    vars_.bResponse = false;
    waitForReply();
    InputOutcome outcome;
    outcome.answered = vars_.bResponse;
    if (outcome.answered) {
        outcome.level = protocol::inputLevelOf(vars_.bytInput);
    }
    MSComm1.setRThreshold(protocol::kAcknowledgeLength);
    return outcome;
}

} // namespace trivex::link
