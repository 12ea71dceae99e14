#include "ctl/Commission.h"

#include "ctl/BusCheck.h"
#include "ctl/Stop.h"
#include "protocol/Display.h"
#include "protocol/Selection.h"
#include "session/Texts.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace trivex::ctl {

namespace {

const int kFieldResult = 3;
const int kFieldBatch = 8;
const int kFieldConfig = 12;
const int kFieldSent = 13;

QString settingsAt(const QString& settings, int speed) {
    QStringList fields = settings.split(QLatin1Char(','));
    fields[0] = QString::number(speed);
    return fields.join(QLatin1Char(','));
}

// Where a module's configuration stopped, from the commands that went out.
QString stoppedAt(const std::vector<NamedCommand>& commands, const QStringList& sent, int address) {
    if (sent.isEmpty()) {
        return QStringLiteral("before its configuration");
    }
    const auto next = static_cast<std::size_t>(sent.size());
    return QStringLiteral("after %1, before %2")
        .arg(sent.last(),
             next < commands.size() ? commands[next].name : QStringLiteral("its check at %1").arg(address));
}

} // namespace

CommissionJob::CommissionJob(CommissionPlan plan)
    : plan_(std::move(plan)) {
}

QString CommissionJob::resumeFrom(CsvLog& log, Record& record) {
    QString why;
    const auto rows = log.rows(&why);
    if (!rows) {
        return QStringLiteral("--resume %1: %2").arg(log.path(), why);
    }
    std::vector<QStringList> batch;
    for (const QStringList& row : *rows) {
        if (row.size() > kFieldSent &&
            (record.trace.batch.isEmpty() || row[kFieldBatch] == record.trace.batch)) {
            batch.push_back(row);
        }
    }
    if (record.trace.batch.isEmpty() && !batch.empty()) {
        // The batch of the last row, and only its rows.
        record.trace.batch = batch.back()[kFieldBatch];
        batch.erase(
            std::remove_if(batch.begin(), batch.end(),
                           [&](const QStringList& row) { return row[kFieldBatch] != record.trace.batch; }),
            batch.end());
    }
    if (batch.empty()) {
        return QStringLiteral("--resume %1: the log holds no row %2to go on from")
            .arg(log.path(), record.trace.batch.isEmpty()
                                 ? QString()
                                 : QStringLiteral("of batch %1 ").arg(record.trace.batch));
    }
    for (const QStringList& row : batch) {
        const int address = row[1].toInt();
        if (row[kFieldConfig] != config_) {
            return QStringLiteral(
                       "--resume %1: batch %2 was sent the configuration %3, and this command sends %4: "
                       "give the batch's own screen, characters and speed")
                .arg(log.path(), record.trace.batch, row[kFieldConfig], config_);
        }
        if (address < plan_.first || address >= plan_.first + plan_.count) {
            return QStringLiteral("--resume %1: batch %2 holds address %3, outside --first %4 --count %5")
                .arg(log.path(), record.trace.batch)
                .arg(address)
                .arg(plan_.first)
                .arg(plan_.count);
        }
    }
    const QStringList& last = batch.back();
    const bool done = last[kFieldResult] == QLatin1String("ok");
    next_ = last[1].toInt() + (done ? 1 : 0);
    // A module some of whose commands went out is found at its new address or its old one.
    halfDone_ = !done && !last[kFieldSent].isEmpty() && last[kFieldSent] != QLatin1String("-");
    return {};
}

QString CommissionJob::prepare(const PortPlan& port, Record& record) {
    record.suite = QStringLiteral("commission");
    record.unit = QStringLiteral("modules");
    portSpeed_ = port.raw ? 0 : port.settings.section(QLatin1Char(','), 0, 0).toInt();
    if (port.raw && plan_.speed > 0) {
        return QStringLiteral(
                   "commission --speed %1: %2 is a raw network port, whose line runs at the server's "
                   "speed: the modules keep it")
            .arg(plan_.speed)
            .arg(port.name);
    }
    speed_ = plan_.speed > 0 ? plan_.speed : portSpeed_;
    config_ = shortHash(plan_.configuration(speed_));
    next_ = plan_.first;
    if (plan_.log.isEmpty()) {
        return {};
    }
    log_.emplace(plan_.log);
    if (plan_.resume) {
        if (const QString refusal = resumeFrom(*log_, record); !refusal.isEmpty()) {
            return refusal;
        }
    }
    if (const QString why = log_->prepare(); !why.isEmpty()) {
        return QStringLiteral("the log %1 cannot be written: %2").arg(plan_.log, why);
    }
    return {};
}

void CommissionJob::run(session::PortSession& session, Record& record) {
    link::Link& link = session.link();
    link::SerialControl& port = session.MSComm1();
    const QString portSettings = port.Settings();
    const StopRequests& stop = StopRequests::instance();
    const int last = plan_.first + plan_.count - 1;
    if (next_ > last) {
        record.problem(
            kPassed,
            QStringLiteral("batch %1 is complete: nothing is left to commission").arg(record.trace.batch));
        return;
    }
    // A module that a run ended outright left selected is released; one that acknowledges stop
    // frames has done so before the first check listens.
    link.SendCommand(protocol::stopFrame());
    pause(link::kReplyTicks * static_cast<int>(link::kTickLength.count()));
    port.Input();
    BusCheck check(link, portSettings);
    // At the port's speed first (where new modules are expected), then at the one they take on.
    const std::vector<int> speeds =
        speed_ != portSpeed_ ? std::vector<int>{portSpeed_, speed_} : std::vector<int>{portSpeed_};
    // A module left half configured may have taken its new speed already.
    const std::vector<int> newFirst(speeds.rbegin(), speeds.rend());
    for (int address = next_; address <= last && !stop.requested(); ++address) {
        const int k = address - plan_.first + 1;
        const bool resuming = halfDone_ && address == next_;
        Entry entry;
        entry.where = QStringLiteral("module %1 of %2").arg(k).arg(plan_.count);
        entry.command = QStringLiteral("commission %1").arg(address);
        entry.config = config_;
        entry.module = ModuleFacts{address, speed_, 0, QStringLiteral("-"), {}, {}};
        const std::vector<NamedCommand> commands = plan_.commands(address, speed_);
        QStringList sent;
        QString failure;
        QElapsedTimer timer;
        Census census;
        for (bool first = true;; first = false) {
            if ((plan_.prompt || !first) &&
                !prompt(
                    first ? QStringLiteral(
                                "Connect module %1 of %2 alone on the bus (it becomes %3 at %4), then "
                                "press Enter. Configuration commands reach every module on the bus.")
                                .arg(k)
                                .arg(plan_.count)
                                .arg(address)
                                .arg(speedWords(speed_))
                          : QStringLiteral("Connect module %1 of %2 alone on the bus, then press Enter: %3.")
                                .arg(k)
                                .arg(plan_.count)
                                .arg(census.told))) {
                break;
            }
            timer.start();
            if (!resuming) {
                if (const QString taken = check.answersAt(address, speeds); !taken.isEmpty()) {
                    failure = taken + QStringLiteral(": another module has it");
                    break;
                }
            }
            if (resuming && plan_.from) {
                census = check.at(address, newFirst);
                if (census.found == Census::Found::None) {
                    census = check.at(*plan_.from, speeds);
                }
            } else {
                census = plan_.from ? check.at(*plan_.from, speeds) : check.wholeBus();
            }
            if (stop.requested() || census.found == Census::Found::One) {
                break;
            }
            if (census.found == Census::Found::Several || !plan_.prompt) {
                failure = census.told;
                break;
            }
        }
        bool selected = false;
        if (failure.isEmpty() && !stop.requested()) {
            if (census.speed > 0 && census.speed != portSpeed_) {
                port.switchSettings(settingsAt(portSettings, census.speed));
            }
            for (const NamedCommand& named : commands) {
                if (stop.requested()) {
                    break;
                }
                if (!link.writeConfiguration(named.command.write1, named.command.write2)) {
                    failure = texts::kPortNotOpen;
                    break;
                }
                sent << named.name;
            }
            // The last command is on the wire at the module's old speed before the port changes. A
            // virtual module on a pseudo-terminal takes bytes at the speed the line has when it
            // reads them, and a busy machine may let it read late: there the speed changes only
            // after the reply window, the time any exchange gives the far end to answer.
            const int oldSpeed = census.speed > 0 ? census.speed : 9600;
            const auto bytes = commands.back().command.write1.size() + commands.back().command.write2.size();
            int settleMs = static_cast<int>(std::ceil(protocol::wireMs(bytes, oldSpeed))) +
                           static_cast<int>(link::kTickLength.count());
            if (speed_ > 0 && speed_ != oldSpeed && port.isPseudoTerminal()) {
                settleMs =
                    std::max(settleMs, link::kReplyTicks * static_cast<int>(link::kTickLength.count()));
            }
            pause(settleMs);
            if (speed_ > 0) {
                port.switchSettings(settingsAt(portSettings, speed_));
            }
            if (failure.isEmpty() && !stop.requested()) {
                QElapsedTimer sinceSelect;
                const auto connection = QObject::connect(&port, &link::SerialControl::OnComm, &port, [&] {
                    if (entry.module->replyMs == 0) {
                        entry.module->replyMs = static_cast<double>(sinceSelect.nsecsElapsed()) / 1e6;
                    }
                });
                sinceSelect.start();
                selected = link.selectDevice(static_cast<std::uint8_t>(address));
                QObject::disconnect(connection);
                if (!selected) {
                    failure = QStringLiteral("%1 at %2 after its configuration")
                                  .arg(texts::kDeviceNotFound)
                                  .arg(address);
                }
            }
            if (selected && !stop.requested()) {
                link.SendCommand(protocol::showDefaultScreen());
                const link::InputOutcome level = link.queryInput();
                entry.module->input =
                    !level.answered ? texts::kNoResponse
                    : level.level ? (*level.level == protocol::InputLevel::High ? texts::kHigh : texts::kLow)
                                  : QStringLiteral("no level");
                if (!level.answered) {
                    failure =
                        QStringLiteral("the input query at %1 got %2").arg(address).arg(texts::kNoResponse);
                }
            }
            if (selected) {
                link.releaseDevice(); // also when asked to stop: the module is not left selected
            }
        }
        entry.ms = timer.isValid() ? static_cast<double>(timer.nsecsElapsed()) / 1e6 : 0;
        entry.module->sent = sent.isEmpty() ? QStringLiteral("-") : sent.join(QStringLiteral("; "));
        QString ended;
        if (stop.requested()) {
            entry.verdict = Verdict::Error;
            entry.outcome =
                QStringLiteral("interrupted %1 (%2)").arg(stoppedAt(commands, sent, address), stop.reason());
            ended = entry.outcome;
        } else if (!failure.isEmpty()) {
            entry.verdict = port.PortOpen() ? Verdict::Failed : Verdict::Error;
            entry.outcome = port.PortOpen() ? failure : port.lostBecause();
            ended = entry.outcome;
        } else {
            entry.outcome = QStringLiteral("%1 at %2, acknowledged after %3 ms, input %4")
                                .arg(address)
                                .arg(speedWords(speed_))
                                .arg(entry.module->replyMs, 0, 'f', 1)
                                .arg(entry.module->input);
        }
        record.add(entry);
        port.switchSettings(portSettings);
        if (log_) {
            if (const QString why = log_->append(record.entries().back(), record.trace); !why.isEmpty()) {
                record.problem(
                    kNotRecorded,
                    QStringLiteral("the log row of module %1 of %2 (address %3) is missing from %4: "
                                   "%5; the batch stops here")
                        .arg(k)
                        .arg(plan_.count)
                        .arg(address)
                        .arg(log_->path(), why));
                ended = ended.isEmpty() ? QStringLiteral("its log row was not written") : ended;
            }
        }
        if (!ended.isEmpty()) {
            const QString resume =
                log_ ? QStringLiteral("resume with the same command and --resume %1").arg(log_->path())
                     : QStringLiteral("resume with --first %1 --count %2%3")
                           .arg(address)
                           .arg(last - address + 1)
                           .arg(sent.isEmpty()
                                    ? QString()
                                    : QStringLiteral(" (module %1 was left half configured: a batch with "
                                                     "--log can finish such a module with --resume)")
                                          .arg(address));
            const int status = stop.requested() ? kInterrupted : !port.PortOpen() ? kPortProblem : kFailed;
            record.problem(status,
                           QStringLiteral("commissioning stopped at module %1 of %2 (address %3): %4; %5")
                               .arg(k)
                               .arg(plan_.count)
                               .arg(address)
                               .arg(ended, resume));
            for (int rest = address + 1; rest <= last; ++rest) {
                Entry notRun;
                notRun.where = QStringLiteral("module %1 of %2").arg(rest - plan_.first + 1).arg(plan_.count);
                notRun.command = QStringLiteral("commission %1").arg(rest);
                notRun.config = config_;
                record.notRun(notRun, QStringLiteral("the batch stopped at module %1").arg(k));
            }
            return;
        }
    }
}

} // namespace trivex::ctl
