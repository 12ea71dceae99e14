// Faults the program has to survive: the far end going away and coming back, settings files
// that cannot be written or are replaced under an open window, and termination by a signal.
// (A busy port: tst_frmMain; a long burst: tst_link; an adapter pulled and plugged back:
// tst_session.)

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Termination.h"
#include "forms/tools/TrafficModel.h"
#include "forms/tools/frmTraffic.h"
#include "settings/Profile.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/MessageWatcher.h"
#include "support/Script.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <memory>

using namespace trivex;
using forms::frmMain;
using test::Bench;
using test::click;
using test::hex;
using test::MessageWatcher;
using test::readFile;
using test::toHex;
using test::writeFile;

class tst_faults : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void farEndGoesAway();
    void owedStopFrameWaitsForItsDevice();
    void readOnlySettingsFileIsReportedAndKept();
    void terminationStoresTheOpenWindows_data();
    void terminationStoresTheOpenWindows();
    void twoCopiesKeepEachOthersChanges();

private:
    frmMain& open();
    std::unique_ptr<Bench> bench_;
    std::unique_ptr<frmMain> window_;
};

frmMain& tst_faults::open() {
    if (!bench_) {
        bench_ = std::make_unique<Bench>();
    }
    window_ = std::make_unique<frmMain>();
    return *window_;
}

void tst_faults::cleanup() {
    window_.reset();
    bench_.reset();
}

// The far end goes away during a wait and between commands: the exchange ends in its outcome
// for no reply, the loss is reported once, and the window stays usable with nothing sent.
void tst_faults::farEndGoesAway() {
    frmMain& w = open();
    QTimer::singleShot(40, this, [this] { bench_->peer.close(); });
    const QString report = test::captureStderr([&] {
        click(w.cmdSelect);
        QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
        for (int i = 0; i < 50; ++i) {
            click(w.cmdShowStartup);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(!w.session().MSComm1().PortOpen());
    });
    QCOMPARE(report.count("went away"), 1);
    QVERIFY2(report.contains(bench_->peer.slavePath()), qPrintable(report));
    click(w.cmdInput);
    QCOMPARE(w.statusText(), QStringLiteral("No Response"));
    QVERIFY(!w.session().link().Timer1.isActive());
    w.txtLine1->setText("AFTER");
    click(w.cmdClearLCD); // the window changes, nothing is sent
    QVERIFY(w.txtLine1->text().isEmpty());
}

// A configuration command cut off after its start frame leaves every module taking
// configuration commands: the stop frame owed goes to that device at that speed alone.
void tst_faults::owedStopFrameWaitsForItsDevice() {
    bench_ = std::make_unique<Bench>();
    const QString bus = bench_->path("bus");
    QVERIFY(QFile::link(bench_->peer.slavePath(), bus));
    bench_->set("Ports", "COM1", bus);
    test::PtyPeer other;
    bench_->set("Ports", "COM2", other.slavePath());
    frmMain& w = open();
    w.mnuTraffic->trigger();
    w.mnuConfig->trigger();
    // The line fails right after the start frame went out.
    connect(&w.session().MSComm1(), &link::SerialControl::traffic, this,
            [&](const link::TrafficEntry& entry) {
                if (entry.kind == link::TrafficEntry::Kind::Sent && entry.bytes == hex("EF 64")) {
                    bench_->peer.close();
                    QFile::remove(bus);
                }
            });
    {
        MessageWatcher messages;
        w.configWindow()->cboUID->setEditText("120");
        test::captureStderr([&] { click(w.configWindow()->cmdSetLCD); });
        QTRY_COMPARE(messages.seen.size(), 1);
        QCOMPARE(messages.seen[0].text, QStringLiteral("Port Not Open"));
    }
    disconnect(&w.session().MSComm1(), &link::SerialControl::traffic, this, nullptr);
    QVERIFY(w.session().link().owesStopFrame());
    w.configWindow()->close();
    w.mnuComm->trigger();
    auto set = [&](int entry, int speed) {
        w.commWindow()->cboComm->setCurrentIndex(entry);
        w.commWindow()->cboBaud->setCurrentIndex(speed);
        click(w.commWindow()->cmdSetPort);
        QVERIFY(w.session().MSComm1().PortOpen());
    };
    set(1, 0); // COM2: another bus
    test::PtyPeer back;
    QVERIFY(QFile::link(back.slavePath(), bus));
    set(0, 1); // COM1 at 4800: not the speed the start frame went out at
    QTest::qWait(50);
    QCOMPARE(other.received() + back.received(), std::string());
    QVERIFY(w.session().link().owesStopFrame());
    set(0, 0); // COM1 at 9600
    QTRY_COMPARE(toHex(back.received()), toHex(hex("EA")));
    QVERIFY(!w.session().link().owesStopFrame());
    // The traffic monitor told the debt, where it was kept, and where it was paid.
    QStringList events;
    const forms::TrafficModel& model = w.trafficWindow()->model();
    QTRY_VERIFY(model.rowCount() > 0 && model.line(model.rowCount() - 1).contains("was sent"));
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.line(row).section('\t', 1, 1) == "port" && model.line(row).contains("stop frame")) {
            events << model.line(row).section('\t', 3).section(':', 0, 0);
        }
    }
    QCOMPARE(events, QStringList({"a stop frame is owed to " + bus + " at 9600,n,8,1",
                                  "a stop frame is still owed to " + bus + " at 9600,n,8,1",
                                  "a stop frame is still owed to " + bus + " at 9600,n,8,1",
                                  "the stop frame owed to " + bus + " at 9600,n,8,1 was sent"}));
}

void tst_faults::readOnlySettingsFileIsReportedAndKept() {
    frmMain& w = open();
    const QByteArray before = readFile(bench_->iniPath());
    QVERIFY(QFile::setPermissions(bench_->iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    w.mnuComm->trigger();
    w.mnuConfig->trigger();
    QPointer<forms::frmComm> comm = w.commWindow();
    comm->cboComm->setCurrentIndex(0);
    comm->cboBaud->setCurrentIndex(1);
    click(comm->cmdSetPort);
    MessageWatcher messages;
    QString report = test::captureStderr([&] {
        comm->close();
        w.configWindow()->close();
    });
    QTRY_VERIFY(!comm && !w.configWindow());
    QCOMPARE(messages.seen.size(), 2);
    for (const auto& [message, keys] : {std::pair{messages.seen[0], "CommPort, Setting"},
                                        std::pair{messages.seen[1], "UID, Baud, Line1, Line2"}}) {
        QCOMPARE(message.icon, QMessageBox::Warning);
        QVERIFY2(message.text.contains(keys) && message.text.contains("read-only"), qPrintable(message.text));
    }
    QCOMPARE(report.count('\n'), 2);
    QCOMPARE(readFile(bench_->iniPath()), before);
}

// The program ended by a signal stores what its open windows hold, as their close buttons
// would, and ends with status 0. It runs as a process of its own: this test program with
// TRIVEX_TEST_HOST set opens both windows and types a UID, then waits for the signal.
void tst_faults::terminationStoresTheOpenWindows_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_faults::terminationStoresTheOpenWindows() {
    QFETCH(int, signal);
    bench_ = std::make_unique<Bench>();
    QProcess host;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TRIVEX_TEST_HOST", bench_->iniPath());
    host.setProcessEnvironment(environment);
    host.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(host.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += host.readAllStandardOutput()).contains("ready"), 10000);
    ::kill(static_cast<pid_t>(host.processId()), signal);
    QVERIFY(host.waitForFinished(10000));
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 0);
    QCOMPARE(bench_->get("LCD", "UID"), QStringLiteral("117"));
    QCOMPARE(bench_->get("Settings", "Setting"), QStringLiteral("4800,n,8,1"));
}

// Two copies of the program, each with "Configure LCD" open on one file: one changes the UID,
// the other Line1, and both close at the same moment. Each stores its own change only, so
// neither puts its stale value back over the other's.
void tst_faults::twoCopiesKeepEachOthersChanges() {
    bench_ = std::make_unique<Bench>();
    bench_->set("Ports", "COM1", "/dev/trivex-absent");
    bench_->set("LCD", "UID", "101");
    bench_->set("LCD", "Line1", "BEFORE");
    QList<QProcess*> copies;
    for (const char* change : {"cboUID=120", "txtSU1=AFTER"}) {
        auto* copy = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TRIVEX_TEST_CHANGE", bench_->iniPath() + "|" + change);
        copy->setProcessEnvironment(environment);
        copy->start(QCoreApplication::applicationFilePath(), {});
        copies << copy;
    }
    for (QProcess* copy : copies) {
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += copy->readAllStandardOutput()).contains("ready"), 10000);
    }
    for (QProcess* copy : copies) {
        copy->write("close\n"); // both at once
    }
    for (QProcess* copy : copies) {
        QVERIFY(copy->waitForFinished(10000));
        QCOMPARE(copy->exitCode(), 0);
    }
    QCOMPARE(bench_->get("LCD", "UID") + ' ' + bench_->get("LCD", "Line1"), QStringLiteral("120 AFTER"));
}

// With TRIVEX_TEST_HOST=INI this program is the program itself, ended by a signal: both
// secondary windows open, a UID typed and 4800 bit/s set, then "ready" on stdout. With
// TRIVEX_TEST_CHANGE=INI|CONTROL=TEXT it opens "Configure LCD", types TEXT into CONTROL, says
// "ready" and closes the window when a line arrives on its input.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    forms::applyApplicationStyle(app);
    if (const QString change = qEnvironmentVariable("TRIVEX_TEST_CHANGE"); !change.isEmpty()) {
        settings::useSettingsFile(change.section('|', 0, 0));
        std::unique_ptr<frmMain> window;
        test::captureStderr([&] { window = std::make_unique<frmMain>(); }); // its port is not there
        window->mnuConfig->trigger();
        test::act(window->configWindow(), "text " + change.section('|', 1));
        std::printf("ready\n");
        std::fflush(stdout);
        std::getchar();
        window->configWindow()->close();
        return 0;
    }
    if (const QString ini = qEnvironmentVariable("TRIVEX_TEST_HOST"); !ini.isEmpty()) {
        settings::useSettingsFile(ini);
        frmMain window;
        forms::closeOnTermination(window);
        window.show();
        window.mnuConfig->trigger();
        QTest::keyClicks(window.configWindow()->cboUID->lineEdit(), "117");
        window.mnuComm->trigger();
        window.commWindow()->cboBaud->setCurrentIndex(1);
        QTest::mouseClick(window.commWindow()->cmdSetPort, Qt::LeftButton);
        std::printf("ready\n");
        std::fflush(stdout);
        return QApplication::exec();
    }
    tst_faults test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_faults.moc"
