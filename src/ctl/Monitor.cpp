#include "ctl/Monitor.h"

#include "ctl/Options.h"
#include "ctl/Stop.h"
#include "ctl/Views.h"
#include "link/Listener.h"
#include "protocol/Decoder.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTime>
#include <QTimer>
#include <cstdio>

namespace trivex::ctl {

std::unique_ptr<MonitorJob> MonitorJob::plan(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments,
                                         {{QStringLiteral("--for"), 1},
                                          {QStringLiteral("--listen-only"), 0},
                                          {QStringLiteral("--capture"), 1}},
                                         why);
    if (!values) {
        return nullptr;
    }
    auto job = std::make_unique<MonitorJob>();
    if (values->contains(QStringLiteral("--for"))) {
        bool ok = false;
        job->seconds_ = values->value(QStringLiteral("--for")).first().toDouble(&ok);
        if (!ok || job->seconds_ < 0) {
            *why = QStringLiteral("--for takes seconds");
            return nullptr;
        }
    }
    job->listenOnly_ = values->contains(QStringLiteral("--listen-only"));
    job->capturePath_ = values->value(QStringLiteral("--capture")).value(0);
    if (values->contains(QStringLiteral("--capture")) && job->capturePath_.isEmpty()) {
        *why = QStringLiteral("--capture needs a FILE, and it is empty");
        return nullptr;
    }
    return job;
}

QString MonitorJob::prepare(const PortPlan& port, Record& record) {
    record.suite = QStringLiteral("monitor");
    record.unit.clear();
    port_ = port;
    if (!capturePath_.isEmpty()) {
        const int speed = port.raw ? 0 : port.settings.section(QLatin1Char(','), 0, 0).toInt();
        if (const QString why = capture_.open(capturePath_, speed); !why.isEmpty()) {
            return QStringLiteral("the capture cannot be written to %1: %2").arg(capturePath_, why);
        }
    }
    return {};
}

void MonitorJob::show(const std::vector<protocol::BusFrame>& frames, Record& record) {
    for (const protocol::BusFrame& frame : frames) {
        record.frame(frame);
    }
    if (capture_.isOpen()) {
        if (const QString why = capture_.append(frames); !why.isEmpty()) {
            record.problem(kNotRecorded,
                           QStringLiteral("the capture was not written to %1: %2").arg(capturePath_, why));
            StopRequests::instance().request(QStringLiteral("the capture could not be written"));
        }
    }
}

void MonitorJob::watch(const std::function<bool()>& lost) {
    QEventLoop loop;
    QObject::connect(&StopRequests::instance(), &StopRequests::stopRequested, &loop, &QEventLoop::quit);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (lost()) {
            loop.quit();
        }
    });
    check.start(50);
    if (seconds_ >= 0) {
        QTimer::singleShot(static_cast<int>(seconds_ * 1000), &loop, &QEventLoop::quit);
    }
    if (!StopRequests::instance().requested() && !lost()) {
        loop.exec();
    }
}

void MonitorJob::listen(Record& record) {
    link::BusListener listener;
    QString lostBecause;
    QObject::connect(&listener, &link::BusListener::heard, &listener,
                     [&](const std::vector<protocol::BusFrame>& frames) { show(frames, record); });
    QObject::connect(&listener, &link::BusListener::lost, &listener,
                     [&](const QString&) { lostBecause = listener.port().lostBecause(); });
    if (const QString why = listener.open(deviceOf(port_), port_.settings); !why.isEmpty()) {
        record.problem(kPortProblem, why);
        return;
    }
    if (listener.port().isConnecting()) { // a port on the network: told within a few seconds
        QEventLoop connecting;
        QObject::connect(&listener, &link::BusListener::opened, &connecting, &QEventLoop::quit);
        QObject::connect(&listener, &link::BusListener::lost, &connecting, &QEventLoop::quit);
        connecting.exec();
    }
    if (listener.port().PortOpen()) {
        const int speed = listener.speed();
        tell(QStringLiteral("listening on %1 at %2; nothing is sent on it")
                 .arg(port_.name, speed > 0 ? QStringLiteral("%1 bit/s").arg(speed)
                                            : QStringLiteral("the server's line speed")));
    }
    watch([&] { return !lostBecause.isEmpty(); });
    listener.close(); // what is held comes out
    if (!lostBecause.isEmpty()) {
        record.problem(kPortProblem, lostBecause);
    }
}

void MonitorJob::run(session::PortSession& session, Record& record) {
    if (listenOnly_) {
        listen(record);
        return;
    }
    // The traffic as the program sees it, a line per write or read; and, for a capture, read
    // into frames as a listener would read it.
    const std::int64_t wallOrigin = link::wallMicros();
    const qint64 monotonicOrigin = QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
    protocol::BusReader reader;
    const char* kinds[] = {"sent", "received", "echo", "event"};
    const auto connection = QObject::connect(
        &session.MSComm1(), &link::SerialControl::traffic, &session, [&](const link::TrafficEntry& entry) {
            const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
            const bool toBus = entry.kind == link::TrafficEntry::Kind::Sent;
            const QString words =
                entry.kind == link::TrafficEntry::Kind::Event
                    ? entry.event
                    : QString::fromStdString(protocol::describe(
                          entry.bytes, toBus ? protocol::Direction::ToBus : protocol::Direction::FromBus,
                          entry.replyLength));
            std::printf(
                "%s\n",
                qPrintable(QStringLiteral("%1  %2  %3  %4")
                               .arg(when,
                                    QString::fromLatin1(kinds[static_cast<int>(entry.kind)]).leftJustified(8),
                                    QString::fromStdString(protocol::hexText(entry.bytes)), words)));
            std::fflush(stdout);
            if (capture_.isOpen() && (toBus || entry.kind == link::TrafficEntry::Kind::Received)) {
                const std::int64_t micros = wallOrigin + (entry.nanoseconds - monotonicOrigin) / 1000;
                const std::vector<protocol::BusFrame> frames = reader.feed(entry.bytes, micros);
                if (const QString why = capture_.append(frames); !why.isEmpty()) {
                    record.problem(
                        kNotRecorded,
                        QStringLiteral("the capture was not written to %1: %2").arg(capturePath_, why));
                    StopRequests::instance().request(QStringLiteral("the capture could not be written"));
                }
            }
        });
    watch([&] { return !session.MSComm1().PortOpen(); });
    QObject::disconnect(connection);
    if (capture_.isOpen()) {
        if (const QString why = capture_.append(reader.finish(link::wallMicros())); !why.isEmpty()) {
            record.problem(kNotRecorded,
                           QStringLiteral("the capture was not written to %1: %2").arg(capturePath_, why));
        }
    }
    // Its end, by a signal or by the time given, is the monitor's own end; a lost port is not.
    if (!session.MSComm1().PortOpen()) {
        record.problem(kPortProblem, session.MSComm1().lostBecause());
    }
}

std::unique_ptr<DecodeJob> DecodeJob::plan(const QStringList& arguments, QString* why) {
    if (arguments.size() != 1 || arguments.first().isEmpty()) {
        *why = QStringLiteral("decode needs one FILE, a capture");
        return nullptr;
    }
    auto job = std::make_unique<DecodeJob>();
    job->path_ = arguments.first();
    return job;
}

QString DecodeJob::prepare(const PortPlan&, Record& record) {
    record.suite = QStringLiteral("decode");
    record.unit.clear();
    QString why;
    const auto contents = link::readCaptureFile(path_, &why);
    if (!contents) {
        return QStringLiteral("decode %1: %2").arg(path_, why);
    }
    contents_ = *contents;
    return {};
}

void DecodeJob::run(session::PortSession&, Record& record) {
    for (const protocol::BusFrame& frame : contents_.frames) {
        record.frame(frame);
    }
}

} // namespace trivex::ctl
