// A port behind the network against a local one, on loopback: the select exchange (and when
// its acknowledge arrives) on a pseudo-terminal and over RFC 2217 through ser2net in front of
// the same modules, a burst of 100,000 commands through ser2net read whole on the far side,
// and the time from asking for the connection to a port that is ready.

#include "BenchSupport.h"
#include "link/NetworkPort.h"
#include "protocol/Display.h"
#include "session/PortSession.h"
#include "sim/runtime/PtyBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <cstdio>

using namespace trivex;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// ser2net serving two devices as RFC 2217: bus at busPort, sink at sinkPort; false when it does
// not come up.
bool startSer2net(QProcess& ser2net, const QString& folder, const QString& bus, quint16 busPort,
                  const QString& sink, quint16 sinkPort) {
    QFile config(folder + "/ser2net.yaml");
    config.open(QIODevice::WriteOnly);
    for (const auto& [name, device, port] :
         {std::tuple{"bus", bus, busPort}, std::tuple{"sink", sink, sinkPort}}) {
        config.write(QStringLiteral("connection: &%1\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                    "  connector: serialdev,%3,9600n81,local\n")
                         .arg(name)
                         .arg(port)
                         .arg(device)
                         .toUtf8());
    }
    config.close();
    const QString program = QStandardPaths::findExecutable("ser2net").isEmpty()
                                ? QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/sbin"})
                                : QStandardPaths::findExecutable("ser2net");
    ser2net.start(program, {"-n", "-c", config.fileName(), "-P", folder + "/ser2net.pid"});
    return ser2net.waitForStarted() && QTest::qWaitFor([busPort] {
               QTcpSocket probe;
               probe.connectToHost(QHostAddress::LocalHost, busPort);
               return probe.waitForConnected(100);
           }) &&
           (QTest::qWait(200), true);
}

// Twenty selects of 101: the exchange's length and when its acknowledge arrived, medians.
std::pair<double, double> selects(session::PortSession& session) {
    std::vector<double> exchanges;
    std::vector<double> answers;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        double answered = 0;
        const auto connection = QObject::connect(&session.MSComm1(), &link::SerialControl::OnComm, [&] {
            answered = answered > 0 ? answered : static_cast<double>(timer.nsecsElapsed()) / 1e6;
        });
        timer.start();
        if (session.link().selectDevice(101)) {
            exchanges.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            answers.push_back(answered);
        }
        QObject::disconnect(connection);
        session.link().releaseDevice();
    }
    return {exchanges.size() == 20 ? median(exchanges) : -1, median(answers)};
}

bool openAndWait(session::PortSession& session, const QString& url) {
    session.openDevice(url, "9600,n,8,1");
    return QTest::qWaitFor([&] { return !session.MSComm1().isConnecting(); }, 5000) &&
           session.MSComm1().PortOpen();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const bench::PtyPort settingsFile; // a settings file of this run
    const QString folder = settingsFile.folder.path();
    sim::Bus bus({sim::ModuleSettings{}});
    sim::PtyBus pty(bus, 2);
    QString error;
    if (!pty.open(folder + "/bus", &error)) {
        qFatal("%s", qPrintable(error));
    }
    bool ok = true;
    double local = 0;
    double localAnswer = 0;
    {
        session::PortSession session;
        ok = openAndWait(session, folder + "/bus");
        std::tie(local, localAnswer) = selects(session);
    }
    QProcess ser2net;
    const quint16 port = freePort();
    const quint16 sinkPort = freePort();
    const int sink = bench::openFarEnd(); // its near end, for the burst
    if (!startSer2net(ser2net, folder, folder + "/bus", port, QString::fromLocal8Bit(ptsname(sink)),
                      sinkPort)) {
        std::printf("network: ser2net does not start (scripts/setup installs it)\n");
        return 1;
    }
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
    double remote = 0;
    double remoteAnswer = 0;
    {
        session::PortSession session;
        ok = ok && openAndWait(session, url);
        std::tie(remote, remoteAnswer) = selects(session);
    }
    std::printf(
        "select over RFC 2217 (ser2net): exchange %.1f ms, acknowledge after %.1f ms; on the pseudo-terminal "
        "itself %.1f ms and %.1f ms: %+.1f ms (target within one 15 ms tick)\n",
        remote, remoteAnswer, local, localAnswer, remote - local);
    ok = ok && remote > 0 && local > 0 && std::abs(remote - local) <= 15;

    // Connect to ready: the connection, the negotiation and the line set, twenty times.
    std::vector<double> readies;
    for (int i = 0; i < 20; ++i) {
        link::NetworkPort probe;
        QEventLoop loop;
        QElapsedTimer timer;
        QObject::connect(&probe, &link::NetworkPort::ready, &loop, [&] {
            readies.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            loop.quit();
        });
        QObject::connect(&probe, &link::NetworkPort::failed, &loop, &QEventLoop::quit);
        QString why;
        timer.start();
        probe.open(*link::parseNetworkAddress(url, &why), link::LineSettings{});
        loop.exec();
        probe.close();
        QTest::qWait(50); // ser2net lets the device go
    }
    std::printf(
        "connect to ready over RFC 2217 (ser2net): median %.1f ms, max %.1f ms of %zu (target under 50 ms)\n",
        median(readies), readies.empty() ? 0 : *std::max_element(readies.begin(), readies.end()),
        readies.size());
    ok = ok && readies.size() == 20 && median(readies) < 50;

    // A burst of 100,000 display commands through ser2net, read on a pseudo-terminal's far end.
    {
        session::PortSession session;
        ok = openAndWait(session, QStringLiteral("rfc2217://127.0.0.1:%1").arg(sinkPort)) && ok;
        const std::string command = protocol::writeText(std::string(15, 'A'), std::string(16, 'B'));
        const int commands = 100000;
        const std::size_t total = command.size() * commands;
        bench::Reader reader(sink, total);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < commands; ++i) {
            session.link().SendCommand(command);
        }
        const bool whole = QTest::qWaitFor([&] { return reader.received == total; }, 60000);
        std::printf("burst over RFC 2217 (ser2net): %zu of %zu bytes (%d commands) in %.2f s, whole: %s\n",
                    reader.received.load(), total, commands, static_cast<double>(timer.nsecsElapsed()) / 1e9,
                    whole ? "yes" : "no");
        ok = ok && whole;
    }
    ser2net.kill();
    ser2net.waitForFinished();
    return ok ? 0 : 1;
}
