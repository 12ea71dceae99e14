#include "ctl/Runner.h"

#include "session/DisplayText.h"
#include "session/Texts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <string>

namespace trivex::ctl {

Runner::Runner(session::PortSession& session)
    : session_(session) {
    QObject::connect(&session_, &session::PortSession::portLost, &session_, [this](const QString& reason) {
        if (lost_.isEmpty()) {
            lost_ = reason;
        }
    });
}

void Runner::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Runner::prompt(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
    std::string line;
    return static_cast<bool>(std::getline(std::cin, line));
}

void Runner::judge(StepResult& result, const Step& step, bool answered, const QString& answer,
                   const QString& silence) {
    result.outcome = answered ? answer : silence;
    result.ok = answered == step.expectAnswer;
    if (!step.expectAnswer) {
        result.outcome +=
            result.ok ? QStringLiteral(", as expected") : QStringLiteral(", where no answer was expected");
    }
}

void Runner::send(StepResult& result, const protocol::Bytes& bytes) {
    if (!session_.link().SendCommand(bytes)) {
        result.ok = false;
        result.outcome = texts::kPortNotOpen;
    }
}

StepResult Runner::run(const Step& step) {
    StepResult result{step.where, step.command, true, 0, {}};
    QElapsedTimer timer;
    timer.start();
    link::Link& link = session_.link();
    using K = Step::Kind;
    switch (step.kind) {
    case K::Select:
        judge(result, step, link.selectDevice(static_cast<std::uint8_t>(step.number)),
              texts::kUidPrefix + step.text + texts::kConnectedSuffix, texts::kDeviceNotFound);
        break;
    case K::Release:
        judge(result, step, link.releaseDevice(), texts::kDeviceDisconnected, texts::kNoResponse);
        break;
    case K::Input: {
        const link::InputOutcome input = link.queryInput();
        const QString level = !input.level                                 ? QStringLiteral("no level")
                              : *input.level == protocol::InputLevel::High ? texts::kHigh
                                                                           : texts::kLow;
        judge(result, step, input.answered, level, texts::kNoResponse);
        if (step.expectHigh && input.answered) {
            const bool high = input.level == protocol::InputLevel::High;
            const bool low = input.level == protocol::InputLevel::Low;
            result.ok = *step.expectHigh ? high : low;
            if (!result.ok) {
                result.outcome +=
                    QStringLiteral(", %1 expected").arg(*step.expectHigh ? texts::kHigh : texts::kLow);
            }
        }
        break;
    }
    case K::Text: {
        lines_[step.number - 1] = step.text;
        if (const auto message = session::textMessage(lines_[0], lines_[1])) {
            send(result, *message);
        }
        break;
    }
    case K::Clear:
        lines_[0].clear();
        lines_[1].clear();
        send(result, step.bytes);
        break;
    case K::Send:
        send(result, step.bytes);
        break;
    case K::Configure:
        if (link.writeConfiguration(step.configuration.write1, step.configuration.write2)) {
            result.outcome = step.text;
        } else {
            result.ok = false;
            result.outcome = texts::kPortNotOpen;
        }
        break;
    case K::Pause:
        pause(step.number);
        break;
    case K::Prompt:
        prompt(step.text);
        break;
    case K::Expect:
        break; // read into the exchange before it
    }
    if (!lost_.isEmpty() && !result.ok) {
        result.outcome = lost_;
    }
    result.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return result;
}

} // namespace trivex::ctl
