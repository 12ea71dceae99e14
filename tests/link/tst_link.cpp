// The serial control, the tick wait and the three exchanges, over a real pseudo-terminal pair.

#include "link/LineSettings.h"
#include "link/Link.h"
#include "support/Hex.h"
#include "support/PtyPeer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace trivex;
using namespace trivex::link;
using test::hex;
using test::PtyPeer;
using test::toHex;

namespace {

// A link as start-up leaves it: port 1 standing for the given device, 9600,n,8,1, threshold 2.
void configure(SerialControl& port, const QString& device, const QString& settings = "9600,n,8,1") {
    port.setDeviceResolver([device](int) { return device; });
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

    void lineSettingsForms_data();
    void lineSettingsForms();
    void portNumbers_data();
    void portNumbers();
    void opensAPseudoTerminalByPathAndThroughASymlink();
    void refusesWhatCannotBeOpened_data();
    void refusesWhatCannotBeOpened();
    void receiveEventWaitsForTheThreshold();
    void strayByteSitsInFrontOfTheNextReply();
    void manyCommandsArriveCompleteAndInOrder();
    void burstBeyondTheDriverBufferWaitsForTheLine();
    void farEndGoingAwayClosesThePort();

    void waitCountsItsTicksFromZero();
    void nestedWaitEndsBothWaits();
    void waitThatRanPastItsCountStillEnds();
    void tickCountStopsAtTheSixteenBitLimit();

    void selectOutcome_data();
    void selectOutcome();
    void acknowledgeAfterTheWindowIsSeenOnlyByTheStopFrame();
    void stopFrameJudgedByTheUnclearedFlag_data();
    void stopFrameJudgedByTheUnclearedFlag();
    void inputStatus_data();
    void inputStatus();
    void closedPortSendsNothingAndFindsNothing();

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

void tst_link::lineSettingsForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("9600,n,8,1") << "9600,n,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8 << 1;
    QTest::newRow("4800,e,7,2") << "4800,e,7,2" << true << 4800 << int(QSerialPort::EvenParity) << 7 << 2;
    QTest::newRow("upper case, blanks")
        << " 19200 , O , 8 , 1 " << true << 19200 << int(QSerialPort::OddParity) << 8 << 1;
    QTest::newRow("mark and space") << "9600,m,5,1" << true << 9600 << int(QSerialPort::MarkParity) << 5 << 1;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
    QTest::newRow("speed only") << "9600" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unit in the speed") << "9600 bps,n,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("non-standard rate") << "9601,n,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("4 data bits") << "9600,n,4,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("1.5 stop bits") << "9600,n,8,1.5" << false << 0 << 0 << 0 << 0;
    QTest::newRow("five fields") << "9600,n,8,1,x" << false << 0 << 0 << 0 << 0;
}

void tst_link::lineSettingsForms() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    const auto settings = parseLineSettings(text);
    QCOMPARE(settings.has_value(), accepted);
    if (settings) {
        QTEST(int(settings->baudRate), "baud");
        QTEST(int(settings->parity), "parity");
        QTEST(int(settings->dataBits), "dataBits");
        QTEST(int(settings->stopBits), "stopBits");
    }
}

void tst_link::portNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number"); // 0: refused
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("blanks") << " 7 " << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("name instead of number") << "COM1" << 0;
    QTest::newRow("fraction") << "3.5" << 0;
    QTest::newRow("too large") << "256" << 0;
}

void tst_link::portNumbers() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(parseCommPort(text).value_or(0), number);
    QCOMPARE(defaultDevicePath(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(defaultDevicePath(7), QStringLiteral("/dev/ttyS6"));
}

void tst_link::opensAPseudoTerminalByPathAndThroughASymlink() {
    vars_->strCommand = hex("EF 65");
    link_->SendCommand();
    QVERIFY(peer_->waitForBytes(2));
    QCOMPARE(toHex(peer_->received()), toHex(hex("EF 65")));
    QCOMPARE(peer_->lineSpeed(), speed_t(B9600));

    QTemporaryDir dir;
    const QString link = dir.filePath("bus");
    QVERIFY(QFile::link(peer_->slavePath(), link));
    link_->MSComm1.setPortOpen(false);
    configure(link_->MSComm1, link, "4800,n,8,1");
    QVERIFY2(link_->MSComm1.setPortOpen(true), qPrintable(link_->MSComm1.lastError()));
    QCOMPARE(peer_->lineSpeed(), speed_t(B4800));
    peer_->clearReceived();
    QVERIFY(link_->MSComm1.Output(hex("EA")));
    QVERIFY(peer_->waitForBytes(1));
    QCOMPARE(toHex(peer_->received()), toHex(hex("EA")));
}

void tst_link::refusesWhatCannotBeOpened_data() {
    QTest::addColumn<QString>("device"); // "peer": the pty that init() opened already
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("reason");
    QTest::newRow("device not present") << "/dev/trivex-no-such-port"
                                        << "9600,n,8,1"
                                        << "not present";
    QTest::newRow("plain file") << "file"
                                << "9600,n,8,1"
                                << "plain file";
    QTest::newRow("directory") << "dir"
                               << "9600,n,8,1"
                               << "directory";
    QTest::newRow("line settings refused") << "peer"
                                           << "fast"
                                           << "not of the form";
    QTest::newRow("busy: another opener holds it") << "peer"
                                                   << "9600,n,8,1"
                                                   << "busy";
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
    QVERIFY(!second.setPortOpen(true));
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

void tst_link::strayByteSitsInFrontOfTheNextReply() {
    peer_->send(hex("00"));
    QTimer::singleShot(40, this, [this] { peer_->send(hex("EE 65")); });
    QVERIFY(!link_->selectDevice(101));
    QVERIFY(!vars_->bResponse);
}

void tst_link::manyCommandsArriveCompleteAndInOrder() {
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        vars_->strCommand = hex("FE 32") + char(i % 2) + char(i % 16);
        link_->SendCommand();
        expected += vars_->strCommand;
    }
    QVERIFY(peer_->waitForBytes(expected.size(), 10000));
    QCOMPARE(peer_->received().size(), expected.size());
    QVERIFY(peer_->received() == expected);
}

void tst_link::burstBeyondTheDriverBufferWaitsForTheLine() {
    peer_->setReading(false);
    std::string expected;
    for (int i = 0; i < 4000; ++i) {
        vars_->strCommand =
            hex("0D") + std::string(15, char('A' + i % 26)) + hex("0C") + std::string(16, 'z');
        link_->SendCommand();
        expected += vars_->strCommand;
    }
    QCoreApplication::processEvents();
    QVERIFY2(link_->MSComm1.PortOpen(), qPrintable(link_->MSComm1.lastError()));
    peer_->setReading(true);
    QVERIFY(peer_->waitForBytes(expected.size(), 10000));
    QVERIFY(peer_->received() == expected);
    QVERIFY(link_->MSComm1.PortOpen());
}

void tst_link::farEndGoingAwayClosesThePort() {
    QSignalSpy lost(&link_->MSComm1, &SerialControl::portLost);
    peer_->close();
    vars_->strCommand = hex("FE 06");
    link_->SendCommand();
    QTRY_VERIFY(!link_->MSComm1.PortOpen());
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!link_->MSComm1.Output(hex("FE 07")));
    QVERIFY(!link_->selectDevice(101));
    QCOMPARE(lost.count(), 1);
}

void tst_link::waitCountsItsTicksFromZero() {
    QSignalSpy ticks(&link_->Timer1, &QTimer::timeout);
    vars_->intTicks = 500;
    link_->WaitTicks(10);
    QCOMPARE(ticks.count(), 10);
    QCOMPARE(vars_->intTicks, std::int16_t(10));
    QVERIFY(!link_->Timer1.isActive());
}

void tst_link::nestedWaitEndsBothWaits() {
    bool innerRan = false;
    QTimer::singleShot(40, this, [&] {
        link_->WaitTicks(10);
        innerRan = true;
    });
    QSignalSpy ticks(&link_->Timer1, &QTimer::timeout);
    link_->WaitTicks(10);
    QVERIFY(innerRan);
    QCOMPARE(vars_->intTicks, std::int16_t(10));
    QVERIFY(ticks.count() > 10);
    QVERIFY(!link_->Timer1.isActive());
}

void tst_link::waitThatRanPastItsCountStillEnds() {
    QTimer::singleShot(30, this, [this] { vars_->intTicks = 25; });
    link_->WaitTicks(10);
    QVERIFY(vars_->intTicks >= 10);
    QVERIFY(!link_->Timer1.isActive());
}

void tst_link::tickCountStopsAtTheSixteenBitLimit() {
    vars_->intTicks = 32766;
    link_->Timer1_Timer();
    link_->Timer1_Timer();
    QCOMPARE(vars_->intTicks, std::int16_t(32767));
}

void tst_link::selectOutcome_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("connected");
    auto row = [](const char* name, const char* reply, int delay, bool connected) {
        QTest::newRow(name) << QByteArray::fromStdString(hex(reply)) << delay << connected;
    };
    row("answered at once", "EE 65", 1, true);
    row("answered late but inside the window", "EE 65", 90, true);
    row("answered with another address", "EE 64", 1, false);
    row("no answer", "", 0, false);
    row("stray byte in front of the answer", "00 EE 65", 1, false);
    row("answer followed by more bytes", "EE 65 42", 1, true);
}

void tst_link::selectOutcome() {
    QFETCH(QByteArray, reply);
    QFETCH(int, delayMs);
    QFETCH(bool, connected);
    if (!reply.isEmpty()) {
        peer_->answer(hex("EF 65"), reply.toStdString(), delayMs);
    }
    QCOMPARE(link_->selectDevice(101), connected);
    QCOMPARE(toHex(peer_->received()), toHex(hex("EF 65")));
    QCOMPARE(vars_->bytAddress, std::uint8_t(101));
}

void tst_link::acknowledgeAfterTheWindowIsSeenOnlyByTheStopFrame() {
    peer_->answer(hex("EF 65"), hex("EE 65"), 300);
    QVERIFY(!link_->selectDevice(101));
    QTRY_VERIFY(vars_->bResponse);
    QVERIFY(link_->releaseDevice());
}

void tst_link::stopFrameJudgedByTheUnclearedFlag_data() {
    QTest::addColumn<bool>("select");
    QTest::addColumn<int>("query"); // 0: none, 1: answered, 2: unanswered
    QTest::addColumn<bool>("released");
    QTest::newRow("nothing selected since start") << false << 0 << false;
    QTest::newRow("right after an answered select") << true << 0 << true;
    QTest::newRow("after an answered input query") << true << 1 << true;
    QTest::newRow("after an unanswered input query") << true << 2 << false;
}

void tst_link::stopFrameJudgedByTheUnclearedFlag() {
    QFETCH(bool, select);
    QFETCH(int, query);
    QFETCH(bool, released);
    if (select) {
        peer_->answer(hex("EF 65"), hex("EE 65"));
        QVERIFY(link_->selectDevice(101));
    }
    if (query == 1) {
        peer_->answer(hex("FE 0E"), hex("EE 65 08"));
    }
    if (query > 0) {
        QCOMPARE(link_->queryInput().answered, query == 1);
    }
    peer_->clearReceived();
    QCOMPARE(link_->releaseDevice(), released);
    QCOMPARE(toHex(peer_->received()), toHex(hex("EA")));
}

void tst_link::inputStatus_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("level"); // -1 none, 0 low, 1 high
    auto row = [](const char* name, const char* reply, bool answered, int level) {
        QTest::newRow(name) << QByteArray::fromStdString(hex(reply)) << answered << level;
    };
    row("HIGH", "EE 65 08", true, 1);
    row("LOW", "EE 65 00", true, 0);
    row("status without a meaning", "EE 65 04", true, -1);
    row("another module answers", "EE 64 08", false, -1);
    row("only the acknowledge arrives", "EE 65", false, -1);
    row("no answer", "", false, -1);
}

void tst_link::inputStatus() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, answered);
    QFETCH(int, level);
    vars_->bytAddress = 101;
    if (!reply.isEmpty()) {
        peer_->answer(hex("FE 0E"), reply.toStdString());
    }
    const InputOutcome outcome = link_->queryInput();
    QCOMPARE(toHex(peer_->received()), toHex(hex("FE 0E")));
    QCOMPARE(outcome.answered, answered);
    QCOMPARE(outcome.level ? (*outcome.level == protocol::InputLevel::High ? 1 : 0) : -1, level);
    QCOMPARE(link_->MSComm1.RThreshold(), 2);
}

void tst_link::closedPortSendsNothingAndFindsNothing() {
    link_->MSComm1.setPortOpen(false);
    QVERIFY(!link_->MSComm1.PortOpen());
    peer_->answer(hex("EF 65"), hex("EE 65"));
    QVERIFY(!link_->selectDevice(101));
    QVERIFY(!link_->queryInput().answered);
    QCOMPARE(peer_->received(), std::string());
}

QTEST_GUILESS_MAIN(tst_link)
#include "tst_link.moc"
