#include "ctl/Runner.h"

#include "ctl/Stop.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"
#include "session/DisplayText.h"
#include "session/Texts.h"

#include <QElapsedTimer>

namespace trivex::ctl {

Runner::Runner(session::PortSession& session)
    : session_(session) {
    QObject::connect(&session_, &session::PortSession::portLost, &session_, [this] {
        if (lost_.isEmpty()) {
            lost_ = session_.MSComm1().lostBecause();
        }
    });
}

void Runner::judge(Entry& entry, const Step& step, bool answered, const QString& answer,
                   const QString& silence) {
    entry.outcome = answered ? answer : silence;
    entry.verdict = answered == step.expectAnswer ? Verdict::Passed : Verdict::Failed;
    if (!step.expectAnswer) {
        entry.outcome += entry.verdict == Verdict::Passed ? QStringLiteral(", as expected")
                                                          : QStringLiteral(", where no answer was expected");
    }
}

void Runner::send(Entry& entry, const protocol::Bytes& bytes) {
    if (!session_.link().SendCommand(bytes)) {
        entry.verdict = Verdict::Failed;
        entry.outcome = texts::kPortNotOpen;
    }
}

Entry Runner::run(const Step& step) {
    Entry entry;
    entry.where = step.where;
    entry.command = step.command;
    QElapsedTimer timer;
    timer.start();
    link::Link& link = session_.link();
    using K = Step::Kind;
    switch (step.kind) {
    case K::Select: {
        const bool answered = link.selectDevice(static_cast<std::uint8_t>(step.number));
        selected_ = selected_ || answered;
        judge(entry, step, answered, texts::kUidPrefix + step.text + texts::kConnectedSuffix,
              texts::kDeviceNotFound);
        break;
    }
    case K::Release:
        judge(entry, step, link.releaseDevice(), texts::kDeviceDisconnected, texts::kNoResponse);
        selected_ = false;
        break;
    case K::Input: {
        const link::InputOutcome input = link.queryInput();
        const QString level = !input.level                                 ? QStringLiteral("no level")
                              : *input.level == protocol::InputLevel::High ? texts::kHigh
                                                                           : texts::kLow;
        judge(entry, step, input.answered, level, texts::kNoResponse);
        if (step.expectHigh && input.answered) {
            const bool wanted =
                input.level == (*step.expectHigh ? protocol::InputLevel::High : protocol::InputLevel::Low);
            entry.verdict = wanted ? Verdict::Passed : Verdict::Failed;
            if (!wanted) {
                entry.outcome +=
                    QStringLiteral(", %1 expected").arg(*step.expectHigh ? texts::kHigh : texts::kLow);
            }
        }
        break;
    }
    case K::Text:
        lines_[step.number - 1] = step.text;
        if (const auto message = session::textMessage(lines_[0], lines_[1])) {
            send(entry, *message);
        }
        break;
    case K::Clear:
        lines_[0].clear();
        lines_[1].clear();
        send(entry, step.bytes);
        break;
    case K::Send:
        send(entry, step.bytes);
        break;
    case K::Configure:
        if (link.writeConfiguration(step.configuration.write1, step.configuration.write2)) {
            entry.outcome = step.text;
        } else {
            entry.verdict = Verdict::Failed;
            entry.outcome = texts::kPortNotOpen;
        }
        break;
    case K::Pause:
        pause(step.number);
        break;
    case K::Prompt:
        if (!prompt(step.text) && !StopRequests::instance().requested()) {
            StopRequests::instance().request(QStringLiteral("standard input ended at a prompt"));
        }
        if (StopRequests::instance().requested()) {
            entry.verdict = Verdict::Error;
            entry.outcome =
                QStringLiteral("no answer to the prompt: %1").arg(StopRequests::instance().reason());
        }
        break;
    case K::Expect:
        break; // read into the exchange before it
    }
    if (!lost_.isEmpty()) { // the port went away during the step: it met the loss
        entry.verdict = Verdict::Error;
        entry.outcome = lost_;
    }
    entry.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return entry;
}

StepsJob::StepsJob(std::vector<Step> steps, const QString& suite)
    : steps_(std::move(steps))
    , suite_(suite) {
    // The configuration the run sends: screen, characters and speed (an address is each module's own).
    QByteArray sent;
    for (const Step& step : steps_) {
        const protocol::Bytes& body = step.configuration.write2;
        if (step.kind == Step::Kind::Configure &&
            !(body.size() > 1 && static_cast<std::uint8_t>(body[1]) == protocol::kSetUid)) {
            sent += QByteArray::fromStdString(body);
        }
    }
    config_ = shortHash(sent);
}

QString StepsJob::prepare(const PortPlan&, Record& record) {
    record.suite = suite_;
    record.unit = QStringLiteral("steps");
    return {};
}

void StepsJob::run(session::PortSession& session, Record& record) {
    Runner runner(session);
    const StopRequests& stop = StopRequests::instance();
    QString stopped; // why the steps from here on are not run
    for (const Step& step : steps_) {
        Entry entry;
        entry.where = step.where;
        entry.command = step.command;
        entry.config = config_;
        if (stopped.isEmpty() && stop.requested()) {
            stopped = stop.reason();
            record.problem(kInterrupted, QStringLiteral("stopped: %1").arg(stopped));
        }
        if (!stopped.isEmpty()) {
            record.notRun(entry, stopped);
            continue;
        }
        entry = runner.run(step);
        entry.config = config_;
        record.add(entry);
        if (!runner.portLost().isEmpty()) {
            stopped = QStringLiteral("the port was lost");
            record.problem(kPortProblem, runner.portLost());
        } else if (entry.verdict == Verdict::Error && stop.requested()) {
            stopped = stop.reason();
            record.problem(kInterrupted, QStringLiteral("stopped: %1").arg(stopped));
        }
    }
    if (stop.requested() && runner.holdsModule() && session.MSComm1().PortOpen()) {
        // A module left selected would take the next controller's commands for its own.
        session.link().SendCommand(protocol::stopFrame());
    }
}

} // namespace trivex::ctl
