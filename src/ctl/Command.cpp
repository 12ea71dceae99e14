#include "ctl/Command.h"

#include "ctl/Commission.h"
#include "ctl/Report.h"
#include "ctl/Runner.h"
#include "link/BusScan.h"
#include "link/LineSettings.h"
#include "protocol/Decoder.h"
#include "settings/FileAccess.h"
#include "settings/Profile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>
#include <tuple>
#include <unistd.h>

namespace trivex::ctl {

namespace {

int quitPipe[2] = {-1, -1};

// SIGINT and SIGTERM end a monitor or a scan as its own end would: what it found is printed,
// and the port is closed.
void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

void quitOnSignals(QEventLoop* loop) {
    static QSocketNotifier* notifier = nullptr;
    if (quitPipe[0] < 0 && ::pipe(quitPipe) == 0) {
        notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        std::signal(SIGINT, onQuitSignal);
        std::signal(SIGTERM, onQuitSignal);
    }
    if (notifier) {
        QObject::connect(notifier, &QSocketNotifier::activated, loop, [loop] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(quitPipe[0], &byte, 1);
            loop->quit();
        });
    }
}

// A port on the network opens once its connection is made: it is told within a few seconds.
void waitWhileConnecting(session::PortSession& session) {
    if (!session.MSComm1().isConnecting()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&session, &session::PortSession::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&session, &session::PortSession::portLost, &loop, &QEventLoop::quit);
    loop.exec();
}

void print(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString settingsFor(const Options& options) {
    const QString stored = settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("Setting"));
    if (!options.speed.isEmpty()) {
        return options.speed + QStringLiteral(",n,8,1");
    }
    return link::parseLineSettings(stored) ? stored : QStringLiteral("9600,n,8,1");
}

// What the options after "scan" ask for.
struct ScanPlan {
    int from = 100;
    int to = 132;
    int allowance = link::kDefaultAnswerAllowanceMs;
    std::vector<int> speeds{9600, 4800};
};

std::optional<ScanPlan> scanPlanOf(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments,
                                         {{QStringLiteral("--from"), 1},
                                          {QStringLiteral("--to"), 1},
                                          {QStringLiteral("--speeds"), 1},
                                          {QStringLiteral("--allowance"), 1}},
                                         why);
    if (!values) {
        return std::nullopt;
    }
    ScanPlan plan;
    for (auto [name, value, last] : {std::tuple{QStringLiteral("--from"), &plan.from, 255},
                                     std::tuple{QStringLiteral("--to"), &plan.to, 255},
                                     std::tuple{QStringLiteral("--allowance"), &plan.allowance, 1000}}) {
        if (!values->contains(name)) {
            continue;
        }
        bool ok = true;
        *value = values->value(name).first().toInt(&ok);
        if (!ok || *value < 0 || *value > last) {
            *why = QStringLiteral("%1 %2: a whole number 0 to %3")
                       .arg(name, values->value(name).first())
                       .arg(last);
            return std::nullopt;
        }
    }
    if (values->contains(QStringLiteral("--speeds"))) {
        plan.speeds.clear();
        for (const QString& speed :
             values->value(QStringLiteral("--speeds")).first().split(QLatin1Char(','))) {
            if (speed != QLatin1String("9600") && speed != QLatin1String("4800")) {
                *why = QStringLiteral("--speeds %1: 9600, 4800 or both").arg(speed);
                return std::nullopt;
            }
            plan.speeds.push_back(speed.toInt());
        }
    }
    return plan;
}

// How long "monitor" watches.
struct MonitorPlan {
    std::optional<double> seconds; // none: until it is ended
};

std::optional<MonitorPlan> monitorPlanOf(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments, {{QStringLiteral("--for"), 1}}, why);
    if (!values) {
        return std::nullopt;
    }
    if (!values->contains(QStringLiteral("--for"))) {
        return MonitorPlan{};
    }
    bool ok = false;
    const double seconds = values->value(QStringLiteral("--for")).first().toDouble(&ok);
    if (!ok) {
        *why = QStringLiteral("--for takes seconds");
        return std::nullopt;
    }
    return MonitorPlan{seconds};
}

int scan(session::PortSession& session, const ScanPlan& plan, bool json) {
    link::BusScan probe(session.link());
    probe.setAnswerAllowance(plan.allowance);
    QEventLoop loop;
    quitOnSignals(&loop);
    QObject::connect(&probe, &link::BusScan::finished, &loop, &QEventLoop::quit);
    QObject::connect(&probe, &link::BusScan::found, &loop, [&](const link::ScanFinding& finding) {
        const QString line = QStringLiteral("%1 at %2 bit/s, %3 ms")
                                 .arg(finding.address)
                                 .arg(finding.speed)
                                 .arg(finding.replyMs, 0, 'f', 1);
        print(json ? QString::fromUtf8(jsonLine({QStringLiteral("scan"), QString::number(finding.address),
                                                 true, finding.replyMs, finding.note}))
              : finding.note.isEmpty() ? line
                                       : line + QStringLiteral(": ") + finding.note);
    });
    QString outcome;
    QObject::connect(&probe, &link::BusScan::finished, &loop, [&](const QString& how) { outcome = how; });
    if (const QString refusal = probe.start(plan.from, plan.to, plan.speeds); !refusal.isEmpty()) {
        tell(QStringLiteral("the bus is not scanned: ") + refusal);
        return kPortProblem;
    }
    loop.exec();
    probe.stop();
    if (!outcome.startsWith(QLatin1String("done"))) {
        tell(QStringLiteral("scan ") + outcome);
        return outcome.startsWith(QLatin1String("stopped:")) ? kPortProblem : kFailed;
    }
    if (probe.findings().empty()) {
        tell(QStringLiteral("no module answered"));
        return kFailed;
    }
    return kPassed;
}

int monitor(session::PortSession& session, const MonitorPlan& plan) {
    QEventLoop loop;
    quitOnSignals(&loop);
    const char* kinds[] = {"sent", "received", "echo", "event"};
    QObject::connect(
        &session.MSComm1(), &link::SerialControl::traffic, &loop, [&](const link::TrafficEntry& entry) {
            const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
            const bool toBus = entry.kind == link::TrafficEntry::Kind::Sent;
            const QString words =
                entry.kind == link::TrafficEntry::Kind::Event
                    ? entry.event
                    : QString::fromStdString(protocol::describe(
                          entry.bytes, toBus ? protocol::Direction::ToBus : protocol::Direction::FromBus,
                          entry.replyLength));
            print(QStringLiteral("%1  %2  %3  %4")
                      .arg(when, QString::fromLatin1(kinds[static_cast<int>(entry.kind)]).leftJustified(8),
                           QString::fromStdString(protocol::hexText(entry.bytes)), words));
        });
    QObject::connect(&session, &session::PortSession::portLost, &loop, &QEventLoop::quit);
    if (plan.seconds) {
        QTimer::singleShot(static_cast<int>(*plan.seconds * 1000), &loop, &QEventLoop::quit);
    }
    loop.exec();
    return session.MSComm1().PortOpen() ? kPassed : kPortProblem;
}

} // namespace

void tell(const QString& text) {
    std::fprintf(stderr, "trivexctl: %s\n", text.toLocal8Bit().constData());
}

QString openPort(session::PortSession& session, const Options& options) {
    const QString settings = settingsFor(options);
    const QString port = options.port.trimmed();
    if (port.isEmpty()) {
        session.openAtStartUp();
        const int number = session.MSComm1().CommPort();
        if (number == 0) {
            return QStringLiteral("no port is set: name one with --port");
        }
        if (!options.speed.isEmpty()) {
            session.switchPort(number, settings);
        }
    } else if (const auto number = link::parseCommPort(
                   port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? port.mid(3) : QString());
               number && *number >= 1 && *number <= link::kComNumbers) {
        session.switchPort(*number, settings);
    } else if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        return QStringLiteral("%1 is not COM1 to COM%2").arg(port).arg(link::kComNumbers);
    } else {
        session.openDevice(port, settings);
        waitWhileConnecting(session);
        return session.MSComm1().PortOpen() ? QString() : session::capitalised(session.closedReason()) + '.';
    }
    waitWhileConnecting(session);
    return session.MSComm1().PortOpen() ? QString() : session.portState();
}

int runCommand(const Options& options) {
    if (!options.ini.isEmpty()) {
        settings::useSettingsFile(QFileInfo(options.ini).absoluteFilePath());
    }
    const QString word = options.words.isEmpty() ? QString() : options.words.first();
    if (options.words.contains(QStringLiteral("--help"))) { // "trivexctl scan --help"
        std::printf("%s", qPrintable(usage()));
        return kPassed;
    }
    std::vector<Step> steps;
    std::optional<ScanPlan> scanPlan;
    std::optional<MonitorPlan> monitorPlan;
    QString refusal;
    if (word.isEmpty()) {
        refusal = QStringLiteral("no word: what is to be done? (trivexctl --help)");
    } else if (word == QLatin1String("commission")) {
        refusal = checkCommission(options.words.mid(1));
    } else if (word == QLatin1String("scan")) {
        if (scanPlan = scanPlanOf(options.words.mid(1), &refusal); !scanPlan) {
            refusal = QStringLiteral("scan: ") + refusal;
        }
    } else if (word == QLatin1String("monitor")) {
        if (monitorPlan = monitorPlanOf(options.words.mid(1), &refusal); !monitorPlan) {
            refusal = QStringLiteral("monitor: ") + refusal;
        }
    } else if (auto read = readSteps(options.words, &refusal)) {
        steps = std::move(*read);
    }
    if (!refusal.isEmpty()) {
        tell(refusal);
        return kRefused;
    }
    if (!options.report.isEmpty()) {
        if (const QString problem = settings::replaceProblem(options.report); !problem.isEmpty()) {
            tell(QStringLiteral("the report cannot be written to %1: %2").arg(options.report, problem));
            return kRefused;
        }
    }
    session::PortSession session;
    if (const QString problem = openPort(session, options); !problem.isEmpty()) {
        tell(problem);
        return kPortProblem;
    }
    if (scanPlan) {
        return scan(session, *scanPlan, options.json);
    }
    if (monitorPlan) {
        return monitor(session, *monitorPlan);
    }
    std::vector<StepResult> results;
    const QDateTime started = QDateTime::currentDateTime();
    Runner runner(session);
    int status = kPassed;
    auto report = [&](const StepResult& result) {
        results.push_back(result);
        print(options.json ? QString::fromUtf8(jsonLine(result)) : textLine(result));
        if (!result.ok) {
            status = kFailed;
        }
    };
    if (word == QLatin1String("commission")) {
        status = commission(session, options.words.mid(1), report);
    } else {
        for (const Step& step : steps) {
            report(runner.run(step));
            if (!runner.portLost().isEmpty()) {
                break;
            }
        }
    }
    if (!runner.portLost().isEmpty()) {
        tell(runner.portLost());
        status = kPortProblem;
    }
    if (!options.report.isEmpty()) {
        const QString suite = options.words.size() > 1 && options.words[0] == QLatin1String("run")
                                  ? QFileInfo(options.words[1]).completeBaseName()
                                  : QStringLiteral("trivexctl");
        if (const QString problem =
                settings::replaceFile(options.report, junitReport(suite, results, started));
            !problem.isEmpty()) {
            tell(QStringLiteral("the report was not written to %1: %2").arg(options.report, problem));
        }
    }
    return status;
}

} // namespace trivex::ctl
