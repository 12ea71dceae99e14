// Ports behind the network, over the loopback interface only: a real ser2net bridging virtual
// modules on a pseudo-terminal as RFC 2217 and as raw TCP, and trivex-sim --listen; the session
// opens them as the windows and trivexctl do, and survives what goes wrong.

#include "protocol/Configuration.h"
#include "session/PortSession.h"
#include "support/Bench.h"
#include "support/Rows.h"
#include "support/VirtualBus.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <memory>

using namespace trivex;
using session::PortSession;

class tst_net : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exchangesAsOnALocalPort_data();
    void exchangesAsOnALocalPort();
    void faultsAreToldAndSurvived_data();
    void faultsAreToldAndSurvived();
    void simulatorHoldsUpUnderAnyClient_data();
    void simulatorHoldsUpUnderAnyClient();

private:
    // Virtual modules ("101", "112:4800") on a pseudo-terminal, answering answerMs after a frame.
    void startBus(const QStringList& modules, int answerMs = 2);
    // ser2net serving the bus: RFC 2217 at rfcPort_, raw at rawPort_; plain Telnet with plain.
    void startSer2net(bool plain = false);
    // The session on url; whether it opened.
    bool open(const QString& url);

    static quint16 freePort();

    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<test::VirtualBus> bus_;
    std::unique_ptr<QProcess> ser2net_;
    std::unique_ptr<PortSession> session_;
    quint16 rfcPort_ = 0;
    quint16 rawPort_ = 0;
};

quint16 tst_net::freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void tst_net::init() {
    bench_ = std::make_unique<test::Bench>();
    rfcPort_ = freePort();
    rawPort_ = freePort();
}

void tst_net::cleanup() {
    session_.reset();
    if (ser2net_) {
        ser2net_->kill();
        ser2net_->waitForFinished();
        ser2net_.reset();
    }
    bus_.reset();
    bench_.reset();
}

void tst_net::startBus(const QStringList& modules, int answerMs) {
    bus_ = std::make_unique<test::VirtualBus>(modules, bench_->path("bus"), answerMs);
}

void tst_net::startSer2net(bool plain) {
    const QString device = QStringLiteral("serialdev,%1,9600n81,local").arg(bench_->path("bus"));
    QFile config(bench_->path("ser2net.yaml"));
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write(QStringLiteral("connection: &rfc\n  accepter: %1,tcp,127.0.0.1,%2\n  connector: %3\n"
                                "connection: &raw\n  accepter: tcp,127.0.0.1,%4\n  connector: %3\n")
                     .arg(plain ? "telnet" : "telnet(rfc2217)")
                     .arg(rfcPort_)
                     .arg(device)
                     .arg(rawPort_)
                     .toUtf8());
    config.close();
    ser2net_ = std::make_unique<QProcess>();
    ser2net_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A daemon, in sbin: found there when the PATH of the run has no sbin folder.
    const QString program = QStandardPaths::findExecutable("ser2net").isEmpty()
                                ? QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/sbin"})
                                : QStandardPaths::findExecutable("ser2net");
    ser2net_->start(program, {"-n", "-c", config.fileName(), "-P", bench_->path("ser2net.pid")});
    QVERIFY2(ser2net_->waitForStarted(), "ser2net does not start: scripts/setup installs it");
    QVERIFY(QTest::qWaitFor([this] {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, rawPort_);
        return probe.waitForConnected(100);
    }));
    QTest::qWait(100); // ser2net lets the device go after a probe's connection
}

bool tst_net::open(const QString& url) {
    session_ = std::make_unique<PortSession>();
    session_->openDevice(url, "9600,n,8,1");
    return QTest::qWaitFor([&] { return !session_->MSComm1().isConnecting(); }, 5000) &&
           session_->MSComm1().PortOpen();
}

void tst_net::exchangesAsOnALocalPort_data() {
    QTest::addColumn<QString>("scheme");
    test::row("RFC 2217: the line set on the far side", "rfc2217");
    test::row("raw TCP: the server's speed", "tcp");
}

// Selects, a 0xFF each way (a module at 255 acknowledges with it; a bitmap byte sends it), and
// over RFC 2217 a speed change that reaches the modules at the other speed.
void tst_net::exchangesAsOnALocalPort() {
    QFETCH(QString, scheme);
    startBus({"101", "255", "112:4800"});
    startSer2net();
    QVERIFY(open(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(scheme == "tcp" ? rawPort_ : rfcPort_)));
    QVERIFY2(session_->portState().contains(", round trip "), qPrintable(session_->portState()));
    link::Link& link = session_->link();
    QVERIFY(link.selectDevice(101));
    QVERIFY(link.releaseDevice());
    QVERIFY(link.selectDevice(255));
    link.releaseDevice();
    protocol::CustomBitmaps bitmaps{};
    bitmaps[0] = 0xFF;
    bitmaps[63] = 0xFF;
    QVERIFY(link.writeConfiguration(protocol::loadCustomCharacters(bitmaps).write1,
                                    protocol::loadCustomCharacters(bitmaps).write2));
    QTRY_COMPARE(int(bus_->bus.modules()[0].settings.bitmaps[63]), 0xFF);
    QCOMPARE(int(bus_->bus.modules()[0].settings.bitmaps[0]), 0xFF);
    QCOMPARE(link.selectDevice(112), false);
    if (scheme == "rfc2217") {
        QVERIFY(session_->MSComm1().switchSettings("4800,n,8,1"));
        QVERIFY(link.selectDevice(112));
    }
    // trivexctl on the same URL, once the session has let it go.
    const QString url = session_->MSComm1().identity().path;
    session_.reset();
    QTest::qWait(100);
    QProcess ctl;
    ctl.setProcessChannelMode(QProcess::MergedChannels);
    // A raw port runs at the server's speed: the scan probes once there, and says so.
    ctl.start(TRIVEXCTL_PATH,
              scheme == "rfc2217"
                  ? QStringList{"--port", url, "--speed", "4800", "select", "112", "input", "release"}
                  : QStringList{"--port", url, "scan", "--from", "100", "--to", "112"});
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 10000));
    const QString said = QString::fromUtf8(ctl.readAll());
    QVERIFY2(ctl.exitCode() == 0 &&
                 said.contains(scheme == "rfc2217" ? "select 112: " : "101 at the server's speed") &&
                 !said.contains("bit/s"),
             qPrintable(said));
}

void tst_net::faultsAreToldAndSurvived_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("told"); // what the reason holds
    test::row("nobody listens", "nobody", "refused the connection: nothing listens at 127.0.0.1:");
    test::row("a name that does not resolve", "name", "does not resolve");
    test::row("negotiation refused", "plain", "refused the COM-PORT-OPTION of RFC 2217");
    test::row("server gone during an exchange", "gone",
              "went away (closed the connection); connecting again");
    test::row("a server that stops answering", "stopped", "stopped answering");
    test::row("a server that starts within the connect time", "late", "");
}

void tst_net::faultsAreToldAndSurvived() {
    QFETCH(QString, fault);
    QFETCH(QString, told);
    QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfcPort_);
    std::unique_ptr<QProcess> listener;
    if (fault == "name") {
        url = "rfc2217://trivex-test.invalid:4001";
    } else if (fault == "plain" || fault == "gone") {
        startBus({"101"}, 40);
        startSer2net(fault == "plain");
    } else if (fault == "stopped" || fault == "late") { // trivex-sim itself, serving the bus on the network
        listener = std::make_unique<QProcess>();
        const QStringList args{"--headless", "--listen", QString::number(rfcPort_)};
        if (fault == "late") { // refused at first, then served: tried again until it is
            QTimer::singleShot(200, listener.get(),
                               [process = listener.get(), args] { process->start(TRIVEX_SIM_PATH, args); });
        } else {
            listener->start(TRIVEX_SIM_PATH, args);
            QVERIFY(listener->waitForReadyRead(5000));
        }
    }
    QElapsedTimer timer;
    timer.start();
    const bool opened = open(url);
    QCOMPARE(opened, fault == "gone" || fault == "stopped" || fault == "late");
    if (fault == "late") {
        QVERIFY(session_->link().selectDevice(101));
        listener->kill();
        listener->waitForFinished();
        return;
    }
    QSignalSpy lost(session_.get(), &PortSession::portLost);
    if (!opened) {
        // Told once the connect time is up (a refusing server is tried again until then).
        QVERIFY2(timer.elapsed() < link::NetworkPort::kConnectTimeoutMs + 1000 &&
                     session_->closedReason().contains(told),
                 qPrintable(session_->closedReason()));
        return;
    }
    link::Link& link = session_->link();
    if (fault == "gone") {
        QTimer::singleShot(10, ser2net_.get(), [this] { ser2net_->kill(); }); // before the answer comes
        QCOMPARE(link.selectDevice(101), false);
    } else {
        ::kill(static_cast<pid_t>(listener->processId()), SIGSTOP);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty(), 8000);
    QVERIFY2(lost[0][0].toString().contains(told), qPrintable(lost[0][0].toString()));
    // Back again: the connection is made again with the same settings, and the module answers.
    if (fault == "gone") {
        ser2net_->waitForFinished();
        startSer2net();
    } else {
        ::kill(static_cast<pid_t>(listener->processId()), SIGCONT);
    }
    QTRY_VERIFY_WITH_TIMEOUT(session_->MSComm1().PortOpen(), 20000);
    QVERIFY(link.selectDevice(101));
    if (listener) {
        listener->kill();
        listener->waitForFinished();
    }
}

void tst_net::simulatorHoldsUpUnderAnyClient_data() {
    QTest::addColumn<QString>("client");
    test::row("a flood, never read", "flood");
    test::row("a half frame, then gone", "half");
    test::row("pyserial's RFC 2217 client", "pyserial");
}

// trivex-sim --listen against clients nobody here wrote: each leaves the next one a clean line
// served at once, and the simulator ends at once when told to.
void tst_net::simulatorHoldsUpUnderAnyClient() {
    QFETCH(QString, client);
    QProcess sim;
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.start(TRIVEX_SIM_PATH, {"--headless", "--listen", QString::number(rfcPort_)});
    QVERIFY(sim.waitForStarted());
    QTcpSocket first;
    QVERIFY(QTest::qWaitFor([&] {
        first.connectToHost(QHostAddress::LocalHost, rfcPort_);
        return first.waitForConnected(100);
    }));
    if (client == "flood") {
        // Start frames and input queries as fast as they go, and nothing read (little room to
        // read into, either): the simulator drops the client, at whatever pace this machine goes.
        // (What it holds meanwhile is a benchmark's figure: bench/rfc2217_client.py.)
        first.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        first.setReadBufferSize(1);
        const QByteArray burst = QByteArray("\xEF\x65\xFE\x02").repeated(4096);
        QElapsedTimer flooding;
        flooding.start();
        while (first.state() == QAbstractSocket::ConnectedState && flooding.elapsed() < 30000) {
            if (first.bytesToWrite() < burst.size()) {
                first.write(burst);
            }
            first.waitForBytesWritten(10);
        }
        QCOMPARE(first.state(), QAbstractSocket::UnconnectedState); // dropped
    } else if (client == "half") {
        first.write("\xEF\x65\xFE"); // a start frame, and a command cut off after its prefix
        QVERIFY(QTest::qWaitFor([&] { return first.bytesAvailable() >= 2; }, 1000)); // all of it arrived
    } else {
        QProcess python;
        python.setProcessChannelMode(QProcess::MergedChannels);
        python.start(
            "/usr/bin/python3",
            {"-c",
             QStringLiteral("import serial\n"
                            "s = serial.serial_for_url('rfc2217://127.0.0.1:%1', baudrate=9600, timeout=2)\n"
                            "s.write(b'\\xef\\x65')\n"
                            "print(s.read(2).hex())\n")
                 .arg(rfcPort_)});
        QVERIFY(python.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(python.readAll()).trimmed(), QStringLiteral("ee65"));
    }
    first.abort();
    // The next client: served within a second, from a frame boundary on.
    QElapsedTimer served;
    served.start();
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, rfcPort_);
    QVERIFY(next.waitForConnected(1000));
    next.write("\xEF\x65");
    QVERIFY(QTest::qWaitFor([&] { return next.bytesAvailable() >= 2; }, 1000));
    QCOMPARE(next.readAll().toHex(), QByteArray("ee65"));
    QVERIFY2(served.elapsed() < 1000, qPrintable(QString::number(served.elapsed())));
    QElapsedTimer ending;
    ending.start();
    sim.terminate();
    QVERIFY(sim.waitForFinished(1000));
    QVERIFY(ending.elapsed() < 1000);
    QCOMPARE(sim.exitCode(), 0);
    const QString warned = QString::fromUtf8(sim.readAllStandardError());
    QVERIFY2(warned.isEmpty(), qPrintable(warned)); // no warning at the end
}

QTEST_GUILESS_MAIN(tst_net)
#include "tst_net.moc"
