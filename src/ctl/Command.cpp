#include "ctl/Command.h"

#include "ctl/Commission.h"
#include "ctl/Monitor.h"
#include "ctl/Runner.h"
#include "ctl/Scan.h"
#include "ctl/Stop.h"
#include "ctl/Views.h"
#include "link/NetworkAddress.h"
#include "settings/FileAccess.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace trivex::ctl {

namespace {

void print(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

// The job the words ask for; none, with *refusal, when they are refused.
std::unique_ptr<Job> jobFor(const QStringList& words, QString* refusal) {
    const QString word = words.value(0);
    QString why;
    std::unique_ptr<Job> job;
    if (word.isEmpty()) {
        *refusal = QStringLiteral("no word: what is to be done? (trivexctl --help)");
    } else if (word == QLatin1String("commission")) {
        if (auto plan = commissionPlan(words.mid(1), &why)) {
            job = std::make_unique<CommissionJob>(std::move(*plan));
        } else {
            *refusal = QStringLiteral("commission: ") + why;
        }
    } else if (word == QLatin1String("scan") || word == QLatin1String("monitor") ||
               word == QLatin1String("decode")) {
        job = word == QLatin1String("scan")      ? std::unique_ptr<Job>(ScanJob::plan(words.mid(1), &why))
              : word == QLatin1String("monitor") ? std::unique_ptr<Job>(MonitorJob::plan(words.mid(1), &why))
                                                 : std::unique_ptr<Job>(DecodeJob::plan(words.mid(1), &why));
        if (!job) {
            *refusal = word + QStringLiteral(": ") + why;
        }
    } else if (auto steps = readSteps(words, refusal)) {
        const QString suite = words.size() > 1 && word == QLatin1String("run")
                                  ? QFileInfo(words[1]).completeBaseName()
                                  : QStringLiteral("trivexctl");
        job = std::make_unique<StepsJob>(std::move(*steps), suite);
    }
    return job;
}

QString loginName() {
    if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_name) {
        return QString::fromLocal8Bit(user->pw_name);
    }
    return qEnvironmentVariable("USER");
}

Trace traceOf(const Options& options) {
    Trace trace;
    trace.station = options.station.isEmpty() ? QSysInfo::machineHostName() : options.station;
    trace.operatorName = options.operatorName.isEmpty() ? loginName() : options.operatorName;
    trace.batch = options.batch;
    trace.version = QStringLiteral(TRIVEX_VERSION);
    return trace;
}

// The record as the options ask to see it: live lines (or JSON objects), problems on standard
// error (and as JSON), and at the end the report and the summary.
class Show {
public:
    Show(Record& record, const Options& options)
        : record_(record)
        , options_(options) {
        record.onEntry = [this](const Entry& entry) {
            print(options_.json ? QString::fromUtf8(jsonLine(entry)) : textLine(entry));
        };
        record.onFrame = [this](const protocol::BusFrame& frame) {
            print(options_.json ? QString::fromUtf8(frameJson(frame)) : frameLine(frame));
        };
        record.onProblem = [this](int status, const QString& text) {
            tell(text);
            if (options_.json) {
                print(QString::fromUtf8(problemJson(status, text)));
            }
        };
    }

    // Before the first byte: the report is written as a run that did not finish, so that a
    // report that cannot be written is found out now, and one that is ended outright says so.
    QString startReport() {
        if (options_.report.isEmpty()) {
            return {};
        }
        if (const QString why = settings::replaceFile(options_.report, provisionalReport(record_));
            !why.isEmpty()) {
            reportRefused_ = true;
            return QStringLiteral("the report cannot be written to %1: %2").arg(options_.report, why);
        }
        return {};
    }

    int end(bool ran) {
        if (!options_.report.isEmpty() && !reportRefused_) {
            if (const QString why = settings::replaceFile(options_.report, junitReport(record_));
                !why.isEmpty()) {
                record_.problem(
                    kNotRecorded,
                    QStringLiteral("the report was not written to %1: %2").arg(options_.report, why));
            }
        }
        const int status = record_.status();
        if (options_.json) {
            print(QString::fromUtf8(summaryJson(record_, status)));
        } else if (ran && !summaryLine(record_).isEmpty()) {
            print(summaryLine(record_));
        }
        return status;
    }

private:
    Record& record_;
    const Options& options_;
    bool reportRefused_ = false;
};

} // namespace

int runCommand(const Options& options) {
    StopRequests::instance().watchSignals();
    Record record;
    record.trace = traceOf(options);
    record.call = options.words.join(QLatin1Char(' '));
    Show show(record, options);
    QString refusal;
    const std::unique_ptr<Job> job = jobFor(options.words, &refusal);
    std::optional<PortPlan> port;
    if (refusal.isEmpty()) {
        port = job->portUse() == Job::PortUse::None ? PortPlan{} : planPort(options, &refusal);
    }
    if (port) {
        record.trace.port = record.trace.portId = port->name;
        if (refusal.isEmpty()) {
            refusal = job->prepare(*port, record);
        }
    }
    if (record.trace.batch.isEmpty()) {
        record.trace.batch = record.started.toString(QStringLiteral("yyyyMMdd-HHmmss-")) +
                             QString::number(QRandomGenerator::global()->bounded(0x10000), 16)
                                 .rightJustified(4, QLatin1Char('0'));
    }
    if (refusal.isEmpty()) {
        refusal = show.startReport();
    }
    if (!refusal.isEmpty()) {
        record.problem(kRefused, refusal);
        return show.end(false);
    }
    session::PortSession session;
    if (job->portUse() == Job::PortUse::Session) {
        if (const QString problem = openPort(session, *port); !problem.isEmpty()) {
            record.problem(kPortProblem, problem);
            return show.end(false);
        }
        std::tie(record.trace.port, record.trace.portId) = portTrace(session, *port);
    }
    job->run(session, record);
    return show.end(true);
}

} // namespace trivex::ctl
