// The program's windows talking to the virtual module over a pseudo-terminal: in this process
// (to switch its input line) and as the trivex-sim program itself.

#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "sim/core/Bus.h"
#include "sim/runtime/Attach.h"
#include "sim/runtime/PtyBus.h"
#include "support/Bench.h"
#include "support/MessageWatcher.h"
#include "support/Rows.h"
#include "support/Script.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/stat.h>

using namespace trivex;
using forms::frmMain;
using test::click;

namespace {

std::string padded(const std::string& text) {
    return text + std::string(16 - text.size(), ' ');
}

} // namespace

class tst_e2e : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void cleanup();

    void windowDrivesTheVirtualModule();
    void reprogrammedModuleShowsItsGlyphAndAnswersAtItsNewAddress();
    void theSimulatorProgramAnswersAndReports_data();
    void theSimulatorProgramAnswersAndReports();
    void theSimulatorLeavesAloneWhatItCannotUse_data();
    void theSimulatorLeavesAloneWhatItCannotUse();
    void attachingSaysWhatItCouldNotWrite();
    void commandLinesLeaveQtItsOwnOptions_data();
    void commandLinesLeaveQtItsOwnOptions();

private:
    // A bus of the given modules behind COM1, and the main window on it.
    frmMain& start(std::vector<sim::ModuleSettings> modules, const QString& setting = "9600,n,8,1");
    sim::Module& module(int index = 0) { return bus_->modules()[static_cast<std::size_t>(index)]; }

    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<sim::Bus> bus_;
    std::unique_ptr<sim::PtyBus> pty_;
    std::unique_ptr<frmMain> window_;
};

frmMain& tst_e2e::start(std::vector<sim::ModuleSettings> modules, const QString& setting) {
    bench_ = std::make_unique<test::Bench>("1", setting);
    bus_ = std::make_unique<sim::Bus>(modules);
    pty_ = std::make_unique<sim::PtyBus>(*bus_, 2);
    QString error;
    if (!pty_->open(bench_->path("bus"), &error)) {
        qFatal("%s", qPrintable(error));
    }
    bench_->set("Ports", "COM1", pty_->linkPath());
    window_ = std::make_unique<frmMain>();
    window_->show();
    return *window_;
}

void tst_e2e::cleanup() {
    window_.reset();
    pty_.reset();
    bus_.reset();
    bench_.reset();
}

void tst_e2e::windowDrivesTheVirtualModule() {
    frmMain& w = start({sim::ModuleSettings{}});
    const sim::Lcd& lcd = module().display;
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("UID 101 Connected"));
    QVERIFY(module().selected);
    click(w.cmdInput);
    QCOMPARE(w.Label4->text(), QStringLiteral("LOW"));
    module().inputHigh = true;
    click(w.cmdInput);
    QCOMPARE(w.Label4->text(), QStringLiteral("HIGH"));
    test::act(&w, "text txtLine1=TRIVEX; text txtLine2=bench 3; click cmdSendAscii");
    QTRY_COMPARE(lcd.lineText(0) + lcd.lineText(1), padded("TRIVEX") + padded("bench 3"));
    test::act(&w, "index cboRow=1; click cmdClrRow; click optBLOFF; click optBC; click cmdOnOutput");
    QTRY_VERIFY(module().outputOn);
    QCOMPARE(lcd.lineText(1), padded(""));
    QCOMPARE(lcd.backlight, sim::Backlight::Off);
    QCOMPARE(lcd.cursorStyle, sim::CursorStyle::Blinking);
    test::act(&w, "click cmdInitGraph; index cboGraph=80; click cmdLtoR");
    QTRY_COMPARE(lcd.lineText(1).size(), std::string("\u2588").size() * 16);
    click(w.cmdDeselect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Disconnected"));
    QTRY_VERIFY(!module().selected);
    w.cboAddr->setCurrentText("102");
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
}

void tst_e2e::reprogrammedModuleShowsItsGlyphAndAnswersAtItsNewAddress() {
    frmMain& w = start({sim::ModuleSettings{}});
    w.mnuConfig->trigger();
    forms::frmLCD& config = *w.configWindow();
    // CHAR 1 becomes an arrow; the other characters stay empty.
    const int arrow[] = {4, 14, 21, 4, 4, 4, 4, 0};
    for (int i = 0; i < 64; ++i) {
        config.txtCustom[static_cast<std::size_t>(i)]->setText(i < 8 ? QString::number(arrow[i]) : "0");
    }
    test::MessageWatcher messages;
    click(config.cmdCustom);
    config.cboUID->setEditText("102");
    click(config.cmdSetLCD);
    QCOMPARE(messages.seen.size(), 2);
    QTRY_COMPARE(int(module().settings.address), 102);
    config.close();

    w.cboAddr->setCurrentText("102");
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("UID 102 Connected"));
    click(w.cmdClearLCD);
    click(w.cmdChar[0]);
    QTRY_COMPARE(module().display.lineText(0), "\u2460" + std::string(15, ' '));
    const sim::Glyph shown = module().display.glyphAt(0, 0);
    for (int row = 0; row < 8; ++row) {
        QCOMPARE(int(shown[static_cast<std::size_t>(row)]), arrow[row]);
    }
}

// The trivex-sim program answers and reports; ended by SIGTERM, or by its terminal closing
// (SIGHUP), its output gone (SIGPIPE) or a quit key (SIGQUIT), it leaves no link behind to a
// pseudo-terminal that the kernel gives to somebody's next terminal session.
void tst_e2e::theSimulatorProgramAnswersAndReports_data() {
    QTest::addColumn<int>("signal");
    for (int signal : {SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) {
        QTest::newRow(strsignal(signal)) << signal;
    }
}

void tst_e2e::theSimulatorProgramAnswersAndReports() {
    QFETCH(int, signal);
    bench_ = std::make_unique<test::Bench>();
    const QString link = bench_->path("sim-bus");
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    simulator.start(QStringLiteral(TRIVEX_SIM_PATH),
                    {"--headless", "--link", link, "--module", "101", "--input-high", "101"});
    QByteArray output;
    QTRY_VERIFY((output += simulator.readAll()).contains("COM1=" + link.toUtf8()));
    bench_->set("Ports", "COM1", link);
    window_ = std::make_unique<frmMain>();
    frmMain& w = *window_;
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("UID 101 Connected"));
    click(w.cmdInput);
    QCOMPARE(w.Label4->text(), QStringLiteral("HIGH"));
    w.txtLine1->setText("HI");
    click(w.cmdSendAscii);
    QTRY_VERIFY((output += simulator.readAll()).contains("|HI              |"));
    QVERIFY2(output.contains("FE 0E  input status query -> HIGH"), output);
    window_.reset();
    ::kill(static_cast<pid_t>(simulator.processId()), signal);
    QVERIFY(simulator.waitForFinished(5000));
    QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link + ".lock"));
}

// Paths the virtual module is given that hold something else: it refuses at once, with a
// reason, and leaves them as they were; a link left behind by an earlier run is replaced.
void tst_e2e::theSimulatorLeavesAloneWhatItCannotUse_data() {
    QTest::addColumn<QString>("state"); // what --state names: "", fifo, text
    QTest::addColumn<QString>("link");  // what is at --link: "", file (a symlink to one), dangling
    QTest::addColumn<QString>("reason");
    test::row("a FIFO as state file", "fifo", "", "FIFO");
    test::row("a state file that is none", "text", "", "not a module state file");
    test::row("a link to a file", "", "file", "not a pseudo-terminal");
    test::row("a link left dangling", "", "dangling", "");
}

void tst_e2e::theSimulatorLeavesAloneWhatItCannotUse() {
    QFETCH(QString, state);
    QFETCH(QString, link);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString statePath = dir.filePath("state");
    const QString linkPath = dir.filePath("bus");
    const QString file = dir.filePath("notes.txt");
    test::writeFile(file, "kept\n");
    if (state == "fifo") {
        QCOMPARE(::mkfifo(qPrintable(statePath), 0600), 0);
    } else if (state == "text") {
        test::writeFile(statePath, "kept\n");
    }
    if (!link.isEmpty()) {
        QVERIFY(QFile::link(link == "file" ? file : dir.filePath("gone"), linkPath));
    }
    QProcess simulator;
    QStringList arguments{"--headless", "--link", linkPath};
    if (!state.isEmpty()) {
        arguments << "--state" << statePath;
    }
    simulator.start(QStringLiteral(TRIVEX_SIM_PATH), arguments);
    if (reason.isEmpty()) {
        QByteArray output;
        QTRY_VERIFY((output += simulator.readAllStandardOutput()).contains("COM1=" + linkPath.toUtf8()));
        QVERIFY(QFileInfo(linkPath).symLinkTarget().startsWith("/dev/pts/"));
        simulator.terminate();
        QVERIFY(simulator.waitForFinished(5000));
    } else {
        QVERIFY(simulator.waitForFinished(5000));
        QCOMPARE(simulator.exitCode(), 1);
        QVERIFY2(simulator.readAllStandardError().contains(reason.toUtf8()), qPrintable(reason));
        QCOMPARE(test::readFile(file), QByteArray("kept\n"));
        QCOMPARE(QFileInfo(linkPath).symLinkTarget(), link == "file" ? file : QString());
        QCOMPARE(QFileInfo(statePath).isFile(), state == "text");
    }
}

// A settings file that refuses the keys: the virtual module says so, and why, instead of
// reporting them written.
void tst_e2e::attachingSaysWhatItCouldNotWrite() {
    test::Bench bench; // no serial device of this machine counts
    test::writeFile(bench.iniPath(), "[LCD]\nUID=101\n");
    QVERIFY(QFile::setPermissions(bench.iniPath(), QFile::ReadOwner));
    const sim::AttachOutcome outcome = sim::attachToSettings(bench.iniPath(), bench.path("bus"));
    QVERIFY2(outcome.message.contains("was not written (the file is read-only): put CommPort=1, "
                                      "Setting=9600,n,8,1, [Ports] COM1=" +
                                      bench.path("bus")),
             qPrintable(outcome.message));
    QCOMPARE(test::readFile(bench.iniPath()), QByteArray("[LCD]\nUID=101\n"));
}

// Each program with an argument list: it runs (Qt took its own options; it is then ended as a
// desktop ends it, status 0), or it is refused with status 2 naming what it refused, or it
// answers and ends with status 0.
void tst_e2e::commandLinesLeaveQtItsOwnOptions_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("arguments"); // separated by blanks
    QTest::addColumn<int>("status");        // -1: runs
    QTest::addColumn<QString>("says");      // on stderr, or on stdout for status 0
    test::row("Qt's platform, no display needed", "trivex", "-platform offscreen", -1, "");
    test::row("style, reverse, geometry, display", "trivex",
              "-platform offscreen -style Fusion -reverse -qwindowgeometry 400x300 -display :9", -1, "");
    test::row("style with its value attached, two dashes", "trivex", "--platform offscreen -style=Fusion", -1,
              "");
    test::row("version beside Qt's options", "trivex", "-platform offscreen --version", 0, "trivex 1.0.0");
    test::row("unknown option named as typed", "trivex", "-platform offscreen -foo", 2,
              "unknown option \"-foo\"");
    test::row("unknown long option", "trivex", "--bogus=3", 2, "unknown option \"--bogus=3\"");
    test::row("Qt's option without its value", "trivex", "-style", 2, "\"-style\" needs a value");
    test::row("an argument trivex does not take", "trivex", "COM1", 2, "unexpected argument \"COM1\"");
    test::row("the virtual module with Qt's options", "trivex-sim", "-platform offscreen -style Fusion", -1,
              "");
    test::row("the virtual module refuses what nobody knows", "trivex-sim", "-x --headless", 2,
              "unknown option \"-x\"");
}

void tst_e2e::commandLinesLeaveQtItsOwnOptions() {
    QFETCH(QString, program);
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("TRIVEX_INI", dir.filePath("trivex.ini"));
    // A port that is not there: no serial device of this machine is touched.
    test::writeFile(dir.filePath("trivex.ini"), "[Settings]\nCommPort=1\n[Ports]\nCOM1=/dev/trivex-absent\n");
    process.setProcessEnvironment(environment);
    QStringList list = arguments.split(' ');
    if (program == "trivex-sim") {
        list << "--link" << dir.filePath("bus");
    }
    process.start(program == "trivex" ? QStringLiteral(TRIVEX_PATH) : QStringLiteral(TRIVEX_SIM_PATH), list);
    if (status < 0) {
        // Started: the window is up and has said what became of its port, or the bus is there.
        QByteArray said;
        QTRY_VERIFY((said += process.readAllStandardError() + process.readAllStandardOutput())
                        .contains(program == "trivex" ? "no serial port opened" : "bus at"));
        process.terminate();
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        return;
    }
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), status);
    const QByteArray said = status == 0 ? process.readAllStandardOutput() : process.readAllStandardError();
    QVERIFY2(said.contains(says.toUtf8()), said.constData());
}

QTEST_MAIN(tst_e2e)
#include "tst_e2e.moc"
