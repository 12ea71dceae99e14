#include "ctl/Scan.h"

#include "ctl/BusCheck.h"
#include "ctl/Options.h"
#include "ctl/Stop.h"
#include "link/BusScan.h"

#include <QEventLoop>
#include <tuple>

namespace trivex::ctl {

std::unique_ptr<ScanJob> ScanJob::plan(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments,
                                         {{QStringLiteral("--from"), 1},
                                          {QStringLiteral("--to"), 1},
                                          {QStringLiteral("--speeds"), 1},
                                          {QStringLiteral("--allowance"), 1}},
                                         why);
    if (!values) {
        return nullptr;
    }
    auto job = std::make_unique<ScanJob>();
    job->allowance_ = link::kDefaultAnswerAllowanceMs;
    for (auto [name, value, last] : {std::tuple{QStringLiteral("--from"), &job->from_, 255},
                                     std::tuple{QStringLiteral("--to"), &job->to_, 255},
                                     std::tuple{QStringLiteral("--allowance"), &job->allowance_, 1000}}) {
        if (values->contains(name)) {
            if (*why = wholeNumber(name, values->value(name).first(), 0, last, value); !why->isEmpty()) {
                return nullptr;
            }
        }
    }
    if (values->contains(QStringLiteral("--speeds"))) {
        job->speedsAsked_ = true;
        job->speeds_.clear();
        for (const QString& speed :
             values->value(QStringLiteral("--speeds")).first().split(QLatin1Char(','))) {
            if (speed != QLatin1String("9600") && speed != QLatin1String("4800")) {
                *why = QStringLiteral("--speeds %1: 9600, 4800 or both").arg(speed);
                return nullptr;
            }
            job->speeds_.push_back(speed.toInt());
        }
    }
    return job;
}

QString ScanJob::prepare(const PortPlan& port, Record& record) {
    record.suite = QStringLiteral("scan");
    record.unit.clear();
    if (port.raw && speedsAsked_) {
        return QStringLiteral(
                   "scan --speeds: %1 is a raw network port, whose line runs at the server's speed; "
                   "the scan probes once, at that speed")
            .arg(port.name);
    }
    return {};
}

void ScanJob::run(session::PortSession& session, Record& record) {
    link::BusScan probe(session.link());
    probe.setAnswerAllowance(allowance_);
    QEventLoop loop;
    QObject::connect(&StopRequests::instance(), &StopRequests::stopRequested, &loop, &QEventLoop::quit);
    QObject::connect(&probe, &link::BusScan::finished, &loop, &QEventLoop::quit);
    QObject::connect(&probe, &link::BusScan::found, &loop, [&](const link::ScanFinding& finding) {
        Entry entry;
        entry.where = QStringLiteral("scan");
        entry.command = QStringLiteral("%1 at %2").arg(finding.address).arg(speedWords(finding.speed));
        entry.ms = finding.replyMs;
        entry.outcome = finding.note;
        entry.finding = true;
        entry.module = ModuleFacts{finding.address, finding.speed, finding.replyMs, {}, finding.note, {}};
        record.add(entry);
    });
    QString outcome;
    QObject::connect(&probe, &link::BusScan::finished, &loop, [&](const QString& how) { outcome = how; });
    if (const QString refusal = probe.start(from_, to_, speeds_); !refusal.isEmpty()) {
        record.problem(kPortProblem, QStringLiteral("the bus is not scanned: ") + refusal);
        return;
    }
    if (!StopRequests::instance().requested()) {
        loop.exec();
    }
    probe.stop();
    if (StopRequests::instance().requested()) {
        record.problem(
            kInterrupted,
            QStringLiteral("the scan stopped before its end: %1").arg(StopRequests::instance().reason()));
    } else if (outcome.startsWith(QLatin1String("stopped:"))) {
        record.problem(kPortProblem, QStringLiteral("scan ") + outcome);
    } else if (probe.findings().empty()) {
        record.problem(kFailed, QStringLiteral("no module answered"));
    }
}

} // namespace trivex::ctl
