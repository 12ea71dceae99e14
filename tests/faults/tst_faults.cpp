// Faults the program has to survive: the far end going away and coming back, settings files
// that cannot be written or are replaced under an open window, and termination by a signal.
// (A busy port: tst_frmMain; a long burst: tst_link.)

#include "forms/Style.h"
#include "forms/Termination.h"
#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
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

    void farEndGoesAwayDuringAWait();
    void farEndGoesAwayBetweenCommands();
    void portThatGoesAwayOpensAgainWhenItReturns();
    void readOnlySettingsFileIsReportedAndKept();
    void terminationStoresTheOpenWindows_data();
    void terminationStoresTheOpenWindows();
    void settingsFileReplacedWhileAWindowIsOpen();

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

void tst_faults::farEndGoesAwayDuringAWait() {
    frmMain& w = open();
    QTimer::singleShot(40, this, [this] { bench_->peer.close(); });
    test::captureStderr([&] { click(w.cmdSelect); }); // the lost port is reported there
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
    QTRY_VERIFY(!w.MSComm1().PortOpen());
    click(w.cmdInput);
    QCOMPARE(w.statusText(), QStringLiteral("No Response"));
    QVERIFY(!w.serialLink().Timer1.isActive());
}

void tst_faults::farEndGoesAwayBetweenCommands() {
    frmMain& w = open();
    w.txtLine1->setText("BEFORE");
    click(w.cmdSendAscii);
    QTRY_VERIFY(bench_->peer.received().size() >= 7u);
    QString report = test::captureStderr([&] {
        bench_->peer.close();
        for (int i = 0; i < 50; ++i) {
            click(w.cmdShowStartup);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(!w.MSComm1().PortOpen());
    });
    QCOMPARE(report.count("went away"), 1);
    QVERIFY2(report.contains(bench_->peer.slavePath()), qPrintable(report));
    click(w.cmdClearLCD); // still usable: the window changes, nothing is sent
    QVERIFY(w.txtLine1->text().isEmpty());
}

// An adapter pulled and plugged back: the port closes, the operator is told in the window,
// nothing is sent while it is away, and it opens again by itself when the device returns; the
// module selected before stays shown as selected.
void tst_faults::portThatGoesAwayOpensAgainWhenItReturns() {
    bench_ = std::make_unique<Bench>();
    const QString device = bench_->path("ttyUSB0");
    QVERIFY(QFile::link(bench_->peer.slavePath(), device));
    bench_->set("Ports", "COM1", device);
    frmMain& w = open();
    w.show();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(w.cmdSelect);
    test::captureStderr([&] {
        bench_->peer.close();
        QFile::remove(device);
        QTRY_VERIFY(!w.MSComm1().PortOpen());
    });
    QTRY_VERIFY(w.commWindow());
    QVERIFY2(w.commWindow()->stateText().startsWith("COM1 lost: " + device + " went away"),
             qPrintable(w.commWindow()->stateText()));
    click(w.cmdShowStartup); // there is nothing to send it to
    test::PtyPeer back;
    QVERIFY(QFile::link(back.slavePath(), device));
    QTRY_VERIFY_WITH_TIMEOUT(w.MSComm1().PortOpen(), 3000);
    QCOMPARE(w.commWindow()->stateText(), "COM1 open: " + device + " at 9600,n,8,1");
    QCOMPARE(w.statusText(), QStringLiteral("UID 101 Connected"));
    click(w.cmdShowStartup);
    QTRY_VERIFY(back.received().size() >= 2u);
    QCOMPARE(toHex(back.received()), toHex(hex("FE 14")));
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

void tst_faults::settingsFileReplacedWhileAWindowIsOpen() {
    frmMain& w = open();
    w.mnuConfig->trigger();
    w.configWindow()->cboUID->setEditText("123");
    const QString replacement = bench_->path("other.ini");
    writeFile(replacement, "[LCD]\nUID=999\nBaud=9600\n[Other]\nkeep=1\n");
    QVERIFY(QFile::remove(bench_->iniPath()));
    QVERIFY(QFile::rename(replacement, bench_->iniPath()));
    w.configWindow()->close();
    QCOMPARE(bench_->get("LCD", "UID"), QStringLiteral("123"));
    QCOMPARE(bench_->get("LCD", "Baud"), QStringLiteral("4800"));
    QCOMPARE(bench_->get("Other", "keep"), QStringLiteral("1"));
}

// With TRIVEX_TEST_HOST=INI this program is the program itself, ended by a signal: both
// secondary windows open, a UID typed and 4800 bit/s set, then "ready" on stdout.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    forms::applyApplicationStyle(app);
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
