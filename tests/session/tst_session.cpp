// The port's life without a window: a program with no widgets at all opens, switches, loses and
// regains the port, and lends it to a bus scan, over real pseudo-terminals.

#include "link/Devices.h"
#include "session/PortSession.h"
#include "support/Bench.h"
#include "support/Hex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace trivex;
using session::PortSession;
using test::Bench;
using test::hex;
using test::toHex;

class tst_session : public QObject {
    Q_OBJECT

private slots:
    void startsAndSwitches();
    void portFollowsItsDevice_data();
    void portFollowsItsDevice();
    void scanClaimsThePort();
};

// A first start takes the one device present; a switch moves the traffic and the settings to
// the other port; a port that does not open is closed with its reason.
void tst_session::startsAndSwitches() {
    Bench bench{QString(), QString()};
    QVERIFY(QFile::remove(bench.iniPath())); // no settings yet
    const link::SerialDevice adapter{bench.peer.slavePath(), "", "USB-RS485 Cable", "FTDI", "A5", "", 0, 0};
    link::setDeviceSource([adapter] { return std::vector<link::SerialDevice>{adapter}; });
    PortSession session;
    QSignalSpy changes(&session, &PortSession::stateChanged);
    QVERIFY(session.openAtStartUp());
    test::PtyPeer second;
    bench.set("Ports", "COM2", second.slavePath());
    bench.set("Ports", "COM3", "/dev/trivex-absent");
    QCOMPARE(session.portState(),
             "COM1 open: " + adapter.path + " (FTDI USB-RS485 Cable, serial A5) at 9600,n,8,1");
    QVERIFY(session.switchPort(2, "4800,n,8,1"));
    QCOMPARE(session.variables().strCommPort + ' ' + session.variables().strSettings, "2 4800,n,8,1");
    QCOMPARE(second.lineSpeed(), speed_t(B4800));
    QVERIFY(session.link().SendCommand(hex("FE 14")));
    QTRY_COMPARE(toHex(second.received()), toHex(hex("FE 14")));
    QCOMPARE(bench.peer.received(), std::string());
    QVERIFY(!session.switchPort(3, "9600,n,8,1"));
    QCOMPARE(session.portState(), QStringLiteral("COM3 closed: /dev/trivex-absent is not present."));
    QCOMPARE(changes.count(), 3);
}

void tst_session::portFollowsItsDevice_data() {
    QTest::addColumn<QString>("known");      // how the device is known: stable name, USB socket, [Ports] path
    QTest::addColumn<QString>("waitingFor"); // as the state names the adapter while it is away
    QTest::addColumn<QString>("stored");     // the device COM1 stands for once it is back
    QTest::newRow("by its stable name") << "stable"
                                        << "by-id/usb-FTDI_A5 (FTDI RS485, serial A5)"
                                        << "by-id/usb-FTDI_A5";
    QTest::newRow("by its USB socket") << "usb"
                                       << "the USB adapter 0403:6001 in USB socket 1-1.2"
                                       << "ttyUSB3";
    QTest::newRow("a [Ports] path is its own identity") << "keyed"
                                                        << "ttyUSB0"
                                                        << "ttyUSB0";
}

// Two adapters, COM1 on the first: it is pulled, a third is plugged meanwhile, then it returns
// in another socket, under another kernel name (a [Ports] path returns at that path). Nothing
// goes to the others; COM1 opens again on it alone.
void tst_session::portFollowsItsDevice() {
    QFETCH(QString, known);
    QFETCH(QString, waitingFor);
    QFETCH(QString, stored);
    const bool stableNames = known == "stable";
    Bench bench;
    bench.set("Ports", "COM1", known == "keyed" ? bench.path("ttyUSB0") : QString());
    QDir().mkpath(bench.path("by-id"));
    auto devices = std::make_shared<std::vector<link::SerialDevice>>();
    // An adapter plugged in: its kernel name (and stable name) lead to the far end of a pty.
    auto plug = [&](test::PtyPeer& peer, const QString& kernel, const QString& stable,
                    const QString& socket) {
        QVERIFY(QFile::link(peer.slavePath(), bench.path(kernel)));
        if (stableNames) {
            QFile::remove(bench.path("by-id/" + stable));
            QVERIFY(QFile::link(peer.slavePath(), bench.path("by-id/" + stable)));
        }
        devices->push_back({bench.path(kernel), stableNames ? bench.path("by-id/" + stable) : QString(),
                            "RS485", "FTDI", stable.right(2), socket, 0x0403, 0x6001});
    };
    link::setDeviceSource([devices] { return *devices; });
    test::PtyPeer a;
    test::PtyPeer b;
    plug(a, "ttyUSB0", "usb-FTDI_A5", "1-1.2");
    plug(b, "ttyUSB1", "usb-FTDI_B7", "1-1.3");
    PortSession session;
    QVERIFY(session.openAtStartUp());
    QSignalSpy lost(&session, &PortSession::portLost);
    test::captureStderr([&] {
        a.close();
        QFile::remove(bench.path("ttyUSB0"));
        devices->erase(devices->begin());
        QVERIFY(lost.wait(2000));
    });
    // Told by what ended it, and which adapter it waits for.
    QVERIFY2(
        lost[0][0].toString().contains(QRegularExpression("went away \\((the line hung up|the device was "
                                                          "removed)\\)")),
        qPrintable(lost[0][0].toString()));
    const QString state = session.portState();
    QVERIFY2(state.startsWith("COM1 lost: ") &&
                 state.contains("waiting for " + (known == "usb" ? waitingFor : bench.path(waitingFor))),
             qPrintable(state));
    test::PtyPeer c;
    plug(c, "ttyUSB2", "usb-FTDI_C9", "1-1.4");
    QSignalSpy opened(&session.MSComm1(), &link::SerialControl::opened);
    QVERIFY(!opened.wait(1500)); // a retry has come and gone
    QVERIFY(!session.link().SendCommand(hex("FE 14")));
    test::PtyPeer back;
    plug(back, known == "keyed" ? "ttyUSB0" : "ttyUSB3", "usb-FTDI_A5", stableNames ? "1-1.5" : "1-1.2");
    QTRY_VERIFY_WITH_TIMEOUT(session.MSComm1().PortOpen(), 3000);
    QVERIFY2(session.portState().startsWith("COM1 open: "), qPrintable(session.portState()));
    QVERIFY(session.link().SendCommand(hex("FE 14")));
    QTRY_COMPARE(toHex(back.received()), toHex(hex("FE 14")));
    QCOMPARE(b.received() + c.received(), std::string());
    QCOMPARE(session.ports().choice(1).device, bench.path(stored));
}

// A scan may start only as the guard allows; while it runs the echo is its own, and the
// operator's choice takes effect when it ends. A module it found is taken over at its speed.
void tst_session::scanClaimsThePort() {
    Bench bench;
    PortSession session;
    QVERIFY(session.openAtStartUp());
    QString refusal = "a module is selected";
    session.setScanGuard([&] { return refusal; });
    QCOMPARE(session.scanRefusal(), refusal);
    refusal.clear();
    QVERIFY(session.scanRefusal().isEmpty());
    QSignalSpy scanning(&session, &PortSession::scanningChanged);
    session.setScanning(true);
    session.MSComm1().setEchoStripping(true); // as a scan behind an echoing adapter sets it
    session.setIgnoreEcho(false);
    QVERIFY(session.MSComm1().echoStripping());
    session.setScanning(false);
    QVERIFY(!session.MSComm1().echoStripping());
    QCOMPARE(scanning.count(), 2);
    QSignalSpy chosen(&session, &PortSession::moduleChosen);
    QSignalSpy changes(&session, &PortSession::stateChanged);
    session.useFoundModule(112, 9600); // at the port's speed: the port stays as it is
    QCOMPARE(changes.count(), 0);
    session.useFoundModule(112, 4800);
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(chosen[1][0].toInt(), 112);
    QCOMPARE(bench.peer.lineSpeed(), speed_t(B4800));
    QCOMPARE(session.variables().strSettings, QStringLiteral("4800,n,8,1"));
    QVERIFY(session.MSComm1().PortOpen());
}

QTEST_GUILESS_MAIN(tst_session)
#include "tst_session.moc"
