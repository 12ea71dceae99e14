// The serial control and the tick wait over a real pseudo-terminal pair, and the rules for port
// settings and COM numbers; the exchanges built on them are tested through the main window
// (nested waits there too, as an exchange started during another's wait).

#include "link/BusScan.h"
#include "link/LineSettings.h"
#include "link/Link.h"
#include "link/PortAccess.h"
#include "link/PortMap.h"
#include "support/Hex.h"
#include "support/PtyPeer.h"
#include "support/Rows.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace trivex;
using namespace trivex::link;
using test::hex;
using test::PtyPeer;
using test::toHex;

namespace {

// A link as start-up leaves it: port 1 standing for the given device, 9600,n,8,1, threshold 2.
void configure(SerialControl& port, const QString& device, const QString& settings = "9600,n,8,1") {
    port.setDeviceResolver([device](int) { return PortChoice{1, device, PortChoice::Origin::Keyed, {}}; });
    port.setCommPort(1);
    port.setSettings(settings);
    port.setRThreshold(2);
    port.setInputMode(1);
}

} // namespace

class tst_link : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void textForms_data();
    void textForms();
    void comNumbersForTheDevicesPresent_data();
    void comNumbersForTheDevicesPresent();
    void refusesWhatCannotBeOpened_data();
    void refusesWhatCannotBeOpened();
    void receiveEventWaitsForTheThreshold();
    void readThatFindsNothingDoesNotDeafenThePort();
    void burstBeyondTheDriverBufferWaitsForTheLine();
    void echoAndReplyInOneReadAreTold();
    void scanWritesItsProbesAndStopFrames_data();
    void scanWritesItsProbesAndStopFrames();

    void waitCountsItsTicksFromZero();

private:
    std::unique_ptr<PtyPeer> peer_;
    std::unique_ptr<SharedVariables> vars_;
    std::unique_ptr<Link> link_;
};

void tst_link::init() {
    peer_ = std::make_unique<PtyPeer>();
    QVERIFY(peer_->isValid());
    vars_ = std::make_unique<SharedVariables>();
    link_ = std::make_unique<Link>(*vars_);
    configure(link_->MSComm1, peer_->slavePath());
    QVERIFY2(link_->MSComm1.setPortOpen(true), qPrintable(link_->MSComm1.lastError()));
}

void tst_link::cleanup() {
    link_.reset();
    vars_.reset();
    peer_.reset();
}

void tst_link::textForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("settings"); // as understood: "baud parity data stop", empty when refused
    QTest::addColumn<int>("port");         // as a port number, 0 when refused
    test::row("9600,n,8,1", "9600,n,8,1", "9600 N 8 1", 0);
    test::row("upper case and blanks", " 19200 , O , 8 , 1 ", "19200 O 8 1", 0);
    test::row("empty", "", "", 0);
    test::row("unit in the speed", "9600 bps,n,8,1", "", 0);
    test::row("non-standard rate", "9601,n,8,1", "", 0);
    test::row("unknown parity", "9600,x,8,1", "", 0);
    test::row("4 data bits", "9600,n,4,1", "", 0);
    test::row("1.5 stop bits", "9600,n,8,1.5", "", 0);
    test::row("port 1", "1", "", 1);
    test::row("port by name", "COM1", "", 1);
    test::row("port by name, lower case, leading zero", " com03 ", "", 3);
    test::row("port 0 by name", "COM0", "", 0);
    test::row("port as a fraction", "3.5", "", 0);
}

void tst_link::textForms() {
    QFETCH(QString, text);
    const auto parsed = parseLineSettings(text);
    const QString parity = QStringLiteral("N?EOSM").mid(parsed ? int(parsed->parity) : 0, 1);
    QTEST(parsed ? QStringLiteral("%1 %2 %3 %4")
                       .arg(parsed->baudRate)
                       .arg(parity)
                       .arg(int(parsed->dataBits))
                       .arg(int(parsed->stopBits))
                 : QString(),
          "settings");
    QTEST(parseCommPort(text).value_or(0), "port");
}

// Devices as "path" or "path=stable name", keys and the outcome as "COM number=device".
void tst_link::comNumbersForTheDevicesPresent_data() {
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("assigned");
    test::row("one USB adapter takes COM1, by its stable name", "/dev/ttyUSB0=/dev/serial/by-id/usb-FTDI-A",
              "", "1=/dev/serial/by-id/usb-FTDI-A");
    test::row("an on-board port with a UART keeps its own number", "/dev/ttyS0;/dev/ttyUSB0", "",
              "2=/dev/ttyUSB0");
    test::row("numbers with a key are taken", "/dev/ttyUSB0;/dev/ttyACM0", "1=/dev/x;2=/dev/y",
              "3=/dev/ttyACM0;4=/dev/ttyUSB0");
    test::row("a device a key names gets no second number", "/dev/ttyUSB1=/dev/serial/by-id/B;/dev/ttyUSB0",
              "3=/dev/serial/by-id/B", "1=/dev/ttyUSB0");
    test::row("the stable names give the order, not the sockets",
              "/dev/ttyUSB0=/dev/serial/by-id/usb-Z;/dev/ttyUSB1=/dev/serial/by-id/usb-A", "",
              "1=/dev/serial/by-id/usb-A;2=/dev/serial/by-id/usb-Z");
    test::row("no numbers beyond COM7", "/dev/ttyUSB1;/dev/ttyUSB2;/dev/ttyUSB3;/dev/ttyUSB4;/dev/ttyUSB5",
              "1=a;2=b;3=c", "4=/dev/ttyUSB1;5=/dev/ttyUSB2;6=/dev/ttyUSB3;7=/dev/ttyUSB4");
}

void tst_link::comNumbersForTheDevicesPresent() {
    QFETCH(QString, devices);
    QFETCH(QString, keys);
    std::vector<SerialDevice> present;
    for (const QString& device : devices.split(';', Qt::SkipEmptyParts)) {
        present.push_back({device.section('=', 0, 0), device.section('=', 1), "", "", "", "", 0, 0});
    }
    std::map<int, QString> keyed;
    for (const QString& key : keys.split(';', Qt::SkipEmptyParts)) {
        keyed[key.section('=', 0, 0).toInt()] = key.section('=', 1);
    }
    QStringList assigned;
    for (const auto& [number, device] : assignComNumbers(present, keyed)) {
        assigned << QStringLiteral("%1=%2").arg(number).arg(device.name());
    }
    QTEST(assigned.join(';'), "assigned");
}

void tst_link::refusesWhatCannotBeOpened_data() {
    QTest::addColumn<QString>("device"); // "peer": the pty that init() opened already
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("reason");
    const QString line = QStringLiteral("9600,n,8,1");
    QTest::newRow("device not present") << "/dev/trivex-no-such-port" << line << "not present";
    QTest::newRow("plain file") << "file" << line << "a plain file, not a serial port";
    QTest::newRow("directory") << "dir" << line << "a directory, not a serial port";
    test::row("line settings refused", "peer", "fast", "not of the form");
    QTest::newRow("busy: another opener holds it, named")
        << "peer" << line
        << QStringLiteral("busy: another program has it open (tst_link, process %1)")
               .arg(QCoreApplication::applicationPid());
    // Root may open anything: the open is made as an ordinary user then.
    QTest::newRow("permission denied, with the group to join") << "locked" << line << "belongs to group";
    // Another program's advisory lock (pyserial's exclusive ports, terminal programs).
    QTest::newRow("locked by another program (flock)")
        << "flock" << line
        << QStringLiteral("busy: another program has it open (tst_link, process %1)")
               .arg(QCoreApplication::applicationPid());
    // A session's terminal, even one nobody else would notice being taken: never touched.
    QTest::newRow("the terminal of a session")
        << "session" << line << "is the terminal of a login or shell session";
    QTest::newRow("the terminal of a session, through a symlink")
        << "session-link" << line << "is the terminal of a login or shell session";
}

void tst_link::refusesWhatCannotBeOpened() {
    QFETCH(QString, device);
    QFETCH(QString, settings);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    if (device == "file") {
        device = dir.filePath("plain");
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (device == "dir") {
        device = dir.path();
    } else if (device == "peer") {
        device = peer_->slavePath();
    }
    SerialControl second;
    configure(second, device, settings);
    const uid_t user = ::geteuid();
    std::unique_ptr<PtyPeer> locked;
    if (device == "locked") {
        locked = std::make_unique<PtyPeer>();
        device = locked->slavePath();
        configure(second, device, settings);
        const group* dialout = ::getgrnam("dialout");
        QVERIFY(dialout && (user != 0 || ::chown(qPrintable(device), 0, dialout->gr_gid) == 0));
        QVERIFY(::chmod(qPrintable(device), 0) == 0 && (user != 0 || ::seteuid(65534) == 0));
    }
    int lockHolder = -1;
    pid_t leader = 0;
    termios before{};
    if (device == "flock" || device.startsWith("session")) {
        const bool flock = device == "flock";
        const bool linked = device == "session-link";
        locked = std::make_unique<PtyPeer>();
        device = locked->slavePath();
        lockHolder = ::open(qPrintable(device), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(!flock || ::flock(lockHolder, LOCK_EX | LOCK_NB) == 0);
        if (linked) { // a stale link, say, to a pseudo-terminal that is somebody's terminal now
            QVERIFY(QFile::link(device, dir.filePath("bus")));
            device = dir.filePath("bus");
        }
        configure(second, device, settings);
    }
    if (reason.contains("session")) {
        // A child that makes the terminal the controlling terminal of a session of its own.
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        leader = ::fork();
        if (leader == 0) {
            ::setsid();
            const int terminal = ::open(qPrintable(device), O_RDWR);
            ::ioctl(terminal, TIOCSCTTY, 0);
            [[maybe_unused]] const ssize_t told = ::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char byte = 0;
        QVERIFY(::read(ready[0], &byte, 1) == 1);
        ::tcgetattr(lockHolder, &before);
    }
    const bool opened = second.setPortOpen(true);
    if (leader > 0) {
        termios after{};
        ::tcgetattr(lockHolder, &after);
        ::kill(leader, SIGKILL);
        ::waitpid(leader, nullptr, 0);
        QVERIFY(std::memcmp(&before, &after, sizeof before) == 0); // its line settings untouched
    }
    if (lockHolder >= 0) {
        ::close(lockHolder);
    }
    QVERIFY(::geteuid() == user || ::seteuid(user) == 0);
    QVERIFY(!opened);
    QVERIFY(!second.PortOpen());
    QVERIFY2(second.lastError().contains(reason), qPrintable(second.lastError()));
    QVERIFY2(second.lastError().startsWith(device), qPrintable(second.lastError()));
    QVERIFY(!second.Output(hex("EF 65")));
}

void tst_link::receiveEventWaitsForTheThreshold() {
    disconnect(&link_->MSComm1, nullptr, link_.get(), nullptr); // read the blocks here instead
    QSignalSpy events(&link_->MSComm1, &SerialControl::OnComm);
    protocol::Bytes block;
    connect(&link_->MSComm1, &SerialControl::OnComm, this, [&] { block = link_->MSComm1.Input(); });
    peer_->send(hex("EE"));
    QTimer::singleShot(60, this, [this] { peer_->send(hex("65")); });
    QTRY_COMPARE(events.count(), 1);
    QCOMPARE(toHex(block), toHex(hex("EE 65")));
    QCOMPARE(link_->MSComm1.Input(), protocol::Bytes());
}

// Another reader of the line takes the bytes first while reads wait for a byte (VMIN 1): Qt's
// read then fails with EAGAIN, a resource error, after which Qt watches the port no longer.
void tst_link::readThatFindsNothingDoesNotDeafenThePort() {
    link_->MSComm1.setPortOpen(false);
    const int thief = ::open(qPrintable(peer_->slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(thief >= 0);
    int stolen = 0;
    QSocketNotifier stealing(thief, QSocketNotifier::Read); // before the port's own: it reads first
    connect(&stealing, &QSocketNotifier::activated, this, [&] {
        char buffer[64];
        stolen += int(::read(thief, buffer, sizeof buffer));
    });
    QVERIFY(link_->MSComm1.setPortOpen(true));
    peer_->setMinimumRead(1);
    peer_->send(hex("00 00"));
    QTRY_COMPARE(stolen, 2);
    stealing.setEnabled(false);
    ::close(thief);
    vars_->bytAddress = 0x65;
    peer_->send(hex("EE 65"));
    QTRY_VERIFY(vars_->bResponse);
}

void tst_link::burstBeyondTheDriverBufferWaitsForTheLine() {
    peer_->setReading(false);
    std::string expected;
    for (int i = 0; i < 4000; ++i) {
        link_->SendCommand(hex("0D") + std::string(15, char('A' + i % 26)) + hex("0C") +
                           std::string(16, 'z'));
        expected += vars_->strCommand;
    }
    QCoreApplication::processEvents();
    QVERIFY2(link_->MSComm1.PortOpen(), qPrintable(link_->MSComm1.lastError()));
    peer_->setReading(true);
    QTRY_VERIFY_WITH_TIMEOUT(peer_->received().size() >= expected.size(), 10000);
    QVERIFY(peer_->received() == expected);
    QVERIFY(link_->MSComm1.PortOpen());
}

// USB adapters commonly hand the echo of what was written and the reply over in one read.
void tst_link::echoAndReplyInOneReadAreTold() {
    link_->MSComm1.setEchoStripping(true);
    peer_->answer(hex("EF 65"), hex("EF 65 EE 65"));
    QVERIFY(link_->selectDevice(0x65));
    peer_->answer(hex("FE 0E"), hex("FE 0E EE 65 08"));
    const InputOutcome input = link_->queryInput();
    QVERIFY(input.answered && input.level == protocol::InputLevel::High);
}

// Every byte a scan writes: the stop frame of its echo check, then each probe; a module that
// answers is released, and so is every module after a probe of the configuration address
// (which puts them all into configuration), answered or not.
void tst_link::scanWritesItsProbesAndStopFrames_data() {
    QTest::addColumn<QString>("answering"); // the addresses that answer, as hex
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("nobody answers") << "" << toHex(hex("EA EF 64 EA EF 65 EF 66"));
    QTest::newRow("101 answers") << "65" << toHex(hex("EA EF 64 EA EF 65 EA EF 66"));
}

void tst_link::scanWritesItsProbesAndStopFrames() {
    QFETCH(QString, answering);
    for (const QString& address : answering.split(' ', Qt::SkipEmptyParts)) {
        peer_->answer(hex(qPrintable("EF " + address)), hex(qPrintable("EE " + address)));
    }
    BusScan scan(*link_);
    // The window of the exchanges, so that the peer's answers come within it on a busy machine
    // too (late answers are tried through the scan window, in tst_tools).
    scan.setAnswerAllowance(150);
    QSignalSpy finished(&scan, &BusScan::finished);
    QCOMPARE(scan.start(100, 102, {9600}), QString());
    QVERIFY(finished.wait(5000));
    QTEST(toHex(peer_->received()), "written");
}

void tst_link::waitCountsItsTicksFromZero() {
    QSignalSpy ticks(&link_->Timer1, &QTimer::timeout);
    vars_->intTicks = 500;
    link_->WaitTicks(10);
    QCOMPARE(ticks.count(), 10);
    QCOMPARE(vars_->intTicks, std::int16_t(10));
    QVERIFY(!link_->Timer1.isActive());
    // A count that ran past the mark still ends the wait; the count stops at its 16-bit limit.
    QTimer::singleShot(30, this, [this] { vars_->intTicks = 25; });
    link_->WaitTicks(10);
    QVERIFY(vars_->intTicks >= 25);
    vars_->intTicks = 32767;
    link_->Timer1_Timer();
    QCOMPARE(vars_->intTicks, std::int16_t(32767));
}

QTEST_GUILESS_MAIN(tst_link)
#include "tst_link.moc"
