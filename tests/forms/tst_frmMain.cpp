// The main window's start-up, device selection and input status, against a pty peer.

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/tools/frmScan.h"
#include "link/Devices.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/Rows.h"
#include "support/Script.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace trivex;
using forms::frmMain;
using test::Bench;
using test::click;
using test::hex;
using test::toHex;

class tst_frmMain : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void cleanup();

    void startUpLeavesTheWindowReady();
    void startUpWithAPortThatDoesNotOpen_data();
    void startUpWithAPortThatDoesNotOpen();
    void firstStartTakesTheOneDevicePresent();
    void exchangesShowTheirOutcome_data();
    void exchangesShowTheirOutcome();
    void badAddressTextSendsNothing_data();
    void badAddressTextSendsNothing();
    void exchangeStartedDuringAWaitRunsFirst();
    void menusOpenOneWindowEach();
    void everyMenuEntryIsReachedFromTheKeyboard();

private:
    frmMain& open(const QString& commPort = "1", const QString& setting = "9600,n,8,1");

    std::unique_ptr<Bench> bench_;
    std::unique_ptr<frmMain> window_;
};

frmMain& tst_frmMain::open(const QString& commPort, const QString& setting) {
    bench_ = std::make_unique<Bench>(commPort, setting);
    window_ = std::make_unique<frmMain>();
    window_->show();
    return *window_;
}

void tst_frmMain::cleanup() {
    window_.reset();
    bench_.reset();
}

void tst_frmMain::startUpLeavesTheWindowReady() {
    frmMain& w = open();
    QCOMPARE(w.windowTitle(), QStringLiteral("TRIVEX-RS485 Application"));
    QCOMPARE(QApplication::applicationName(), QStringLiteral("varerezuva"));
    // On X11 the application name is the windows' class, by which docks group them with the
    // desktop entry.
    QVERIFY(test::readFile(TRIVEX_SOURCE_DIR "/data/org.trivex.Trivex.desktop")
                .contains("\nStartupWMClass=" + QApplication::applicationName().toUtf8() + "\n"));
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Selected"));
    QVERIFY(w.session().MSComm1().PortOpen());
    QCOMPARE(w.session().MSComm1().RThreshold(), 2);
    QVERIFY(!w.session().link().Timer1.isActive());
    // Each list: its entries, first to last, and the one chosen.
    QStringList lists;
    for (const QComboBox* list : {w.cboAddr, w.cboColumn, w.cboRow, w.cboGraph}) {
        lists << QStringLiteral("%1 %2-%3 %4")
                     .arg(list->count())
                     .arg(list->itemText(0), list->itemText(list->count() - 1), list->currentText());
    }
    QCOMPARE(lists.join(" | "), QStringLiteral("33 100-132 101 | 16 0-15 0 | 2 0-1 0 | 81 0-80 1"));
    QVERIFY(w.cmdSelect->isEnabled() && w.cmdDeselect->isEnabled());
    QVERIFY(w.mnuComm->isEnabled() && w.mnuConfig->isEnabled());
    QCOMPARE(w.Label4->text(), QString());
}

void tst_frmMain::startUpWithAPortThatDoesNotOpen_data() {
    QTest::addColumn<QString>("commPort"); // COM2 stands for a device that is not there
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("where");  // the main window's place on the screen
    QTest::addColumn<QString>("placed"); // the port settings window beside it: right, left, or centred
    test::row("no settings file values", "", "", "No port is set yet", "top left", "right");
    test::row("port number is text", "abc", "9600,n,8,1", "No port is set yet", "top right", "left");
    test::row("line settings refused", "1", "9600 baud", "\"9600 baud\" are not of the form 9600,n,8,1",
              "middle", "centred");
    test::row("device not present", "2", "9600,n,8,1", "/dev/trivex-absent is not present", "top left",
              "right");
    test::row("port busy", "1", "9600,n,8,1",
              qPrintable(QStringLiteral("is busy: another program has it open (tst_frmMain, process %1)")
                             .arg(QCoreApplication::applicationPid())),
              "top right", "left");
}

// The operator learns why from the windows alone: the port settings window comes up by itself
// beside the main window (wholly on the screen: else centred), its state line saying why, and
// the status bar's tooltip says so too.
void tst_frmMain::startUpWithAPortThatDoesNotOpen() {
    QFETCH(QString, commPort);
    QFETCH(QString, setting);
    QFETCH(QString, reason);
    QFETCH(QString, where);
    bench_ = std::make_unique<Bench>(commPort, setting);
    bench_->set("Ports", "COM2", "/dev/trivex-absent");
    link::SerialControl holder; // another program holding COM1's device
    holder.setDeviceResolver([this](int) {
        return link::PortChoice{1, bench_->peer.slavePath(), link::PortChoice::Origin::Keyed, {}};
    });
    holder.setCommPort(1);
    holder.setSettings("9600,n,8,1");
    if (reason.contains("busy")) {
        QVERIFY(holder.setPortOpen(true));
    }
    const QString stderrText = test::captureStderr([this] { window_ = std::make_unique<frmMain>(); });
    frmMain& w = *window_;
    QCOMPARE(stderrText.count('\n'), 1);
    QVERIFY(!w.session().MSComm1().PortOpen());
    QVERIFY(!w.commWindow()); // not before the main window is there
    const QRect screen = w.screen()->availableGeometry();
    w.adjustSize();
    w.move(where == "top left"    ? screen.topLeft()
           : where == "top right" ? QPoint(screen.right() - w.frameGeometry().width() + 1, screen.top())
                                  : screen.center() - w.rect().center());
    w.show();
    QTRY_VERIFY(w.commWindow() && w.commWindow()->isVisible());
    QVERIFY2(w.commWindow()->stateText().contains(reason), qPrintable(w.commWindow()->stateText()));
    QVERIFY(QTextDocumentFragment::fromHtml(w.findChild<QLabel*>("Panel1")->toolTip())
                .toPlainText()
                .contains(reason));
    const QRect comm = w.commWindow()->frameGeometry();
    QVERIFY(screen.contains(comm));
    QTEST(QString(comm.left() > w.frameGeometry().right()   ? "right"
                  : comm.right() < w.frameGeometry().left() ? "left"
                  : comm.center() == screen.center()        ? "centred"
                                                            : "over the main window"),
          "placed");
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Selected"));
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
    QCOMPARE(bench_->peer.received(), std::string());
}

// A first start (no settings file yet) with one serial adapter present: that is the port, and
// the choice is stored, device and all, when the port settings window closes. A file that names
// no port is no first start: no device is chosen for it.
void tst_frmMain::firstStartTakesTheOneDevicePresent() {
    bench_ = std::make_unique<Bench>(QString(), QString());
    bench_->set("Ports", "COM1", "");
    const link::SerialDevice adapter{
        bench_->peer.slavePath(), "", "USB-RS485 Cable", "FTDI", "A50285BI", "", 0, 0};
    link::setDeviceSource([adapter] { return std::vector<link::SerialDevice>{adapter}; });
    QVERIFY(!frmMain().session().MSComm1().PortOpen());
    QVERIFY(QFile::remove(bench_->iniPath()));
    window_ = std::make_unique<frmMain>();
    frmMain& w = *window_;
    QVERIFY(w.session().MSComm1().PortOpen());
    w.mnuComm->trigger();
    QCOMPARE(w.commWindow()->cboComm->currentText(), QStringLiteral("COM1"));
    w.commWindow()->close();
    QCOMPARE(bench_->get("Settings", "CommPort") + ' ' + bench_->get("Settings", "Setting"),
             QStringLiteral("1 9600,n,8,1"));
    QCOMPARE(bench_->get("Ports", "COM1"), adapter.path);
}

void tst_frmMain::exchangesShowTheirOutcome_data() {
    // Steps "select", "select(ADDRESS TEXT)", "input" or "release", each with what the module
    // answers ("=HEX", nothing for silence) and after how many milliseconds ("@MS").
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("selected"); // "Send Start Frame" and "LCD Settings" disabled
    QTest::addColumn<QString>("label");
    auto row = [](const char* name, const char* steps, const char* status, bool selected,
                  const char* label = "") { QTest::newRow(name) << steps << status << selected << label; };
    row("select answered", "select=EE 65", "UID 101 Connected", true);
    row("select answered late inside the window", "select@60=EE 65", "UID 101 Connected", true);
    row("select answered by another address", "select=EE 64", "Device Not Found", false);
    row("select unanswered", "select=", "Device Not Found", false);
    row("stray byte in front of the answer", "select=00 EE 65", "Device Not Found", false);
    row("address text repeated as shown", "select(0102)=EE 66", "UID 0102 Connected", true);
    row("typed 12 is not completed to 120", "select(12)=EE 0C", "UID 12 Connected", true);
    row("stop frame with nothing selected", "release=", "No Response", false);
    row("stop frame after a select, module silent", "select=EE 65; release=", "Device Disconnected", false);
    row("late acknowledge seen only by the stop frame", "select@200=EE 65; release=", "Device Disconnected",
        false);
    row("stop after an answered input query", "select=EE 65; input=EE 65 08; release=", "Device Disconnected",
        false, "HIGH");
    row("stop after an unanswered input query", "select=EE 65; input=; release=", "No Response", true);
    row("input LOW", "select=EE 65; input=EE 65 00", "UID 101 Connected", true, "LOW");
    row("input status without a meaning", "select=EE 65; input=EE 65 00; input=EE 65 04", "UID 101 Connected",
        true, "LOW");
    row("input answered by another module", "select=EE 65; input=EE 64 08", "No Response", true);
    row("input answered with the acknowledge only", "select=EE 65; input=EE 65", "No Response", true);
    row("bytes left by an input query are read when the threshold drops",
        "select=EE 65; input=EE 65; release=; select(102)=EE 66", "UID 102 Connected", true);
}

void tst_frmMain::exchangesShowTheirOutcome() {
    QFETCH(QString, steps);
    frmMain& w = open();
    std::string frames;
    for (const QString& step : steps.split(';')) {
        const QString action = step.section('=', 0, 0).trimmed().section('@', 0, 0);
        const int delay = step.section('=', 0, 0).section('@', 1).toInt();
        const std::string reply = hex(qPrintable(step.section('=', 1)));
        QPushButton* button = action == "input"     ? w.cmdInput
                              : action == "release" ? w.cmdDeselect
                                                    : w.cmdSelect;
        const QString address = action.contains('(') ? action.section('(', 1).chopped(1) : "101";
        if (button == w.cmdSelect) {
            test::act(&w, "text cboAddr=" + address);
        }
        const std::string frame = button == w.cmdInput      ? hex("FE 0E")
                                  : button == w.cmdDeselect ? hex("EA")
                                                            : hex("EF") + char(address.toInt());
        bench_->peer.clearAnswers();
        if (!reply.empty()) {
            bench_->peer.answer(frame, reply, delay ? delay : 1);
        }
        click(button);
        frames += frame;
    }
    QTEST(w.statusText(), "status");
    QTEST(!w.cmdSelect->isEnabled(), "selected");
    QCOMPARE(w.mnuConfig->isEnabled(), w.cmdSelect->isEnabled());
    QCOMPARE(w.cmdDeselect->isEnabled(), w.statusText() != "Device Disconnected");
    QTEST(w.Label4->text(), "label");
    QCOMPARE(w.session().MSComm1().RThreshold(), 2);
    QCOMPARE(w.cboAddr->count(), 33);
    QTRY_VERIFY(bench_->peer.received().size() >= frames.size());
    QCOMPARE(toHex(bench_->peer.received()), toHex(frames));
}

void tst_frmMain::badAddressTextSendsNothing_data() {
    QTest::addColumn<QString>("address");
    for (const char* text : {"", "abc", "256", "1.5", "-1", "0x65", "<b>1</b>"}) {
        QTest::newRow(text[0] ? text : "empty") << QString::fromLatin1(text);
    }
}

void tst_frmMain::badAddressTextSendsNothing() {
    QFETCH(QString, address);
    frmMain& w = open();
    test::act(&w, "text cboAddr=" + address);
    click(w.cmdSelect);
    QVERIFY2(w.statusText().contains("refused"), qPrintable(w.statusText()));
    QCOMPARE(w.findChild<QLabel*>("Panel1")->textFormat(), Qt::PlainText); // the text is the operator's
    QVERIFY(w.statusText().contains('"' + address + '"'));
    QVERIFY(w.cmdSelect->isEnabled() && w.mnuConfig->isEnabled());
    QCOMPARE(w.cboAddr->count(), 33);
    QTest::qWait(20); // nothing may arrive; a select would have been on the wire at once
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmMain::exchangeStartedDuringAWaitRunsFirst() {
    frmMain& w = open();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    bench_->peer.answer(hex("FE 0E"), hex("EE 65 08"));
    bool innerDone = false;
    QTimer::singleShot(40, this, [&] {
        click(w.cmdInput);
        innerDone = true;
    });
    click(w.cmdSelect);
    QVERIFY(innerDone);
    QCOMPARE(w.Label4->text(), QStringLiteral("HIGH"));
    QCOMPARE(w.statusText(), QStringLiteral("UID 101 Connected"));
    QCOMPARE(toHex(bench_->peer.received()), toHex(hex("EF 65 FE 0E")));
    QVERIFY(!w.session().link().Timer1.isActive());
}

void tst_frmMain::menusOpenOneWindowEach() {
    frmMain& w = open();
    w.mnuComm->trigger();
    QPointer<forms::frmComm> first = w.commWindow();
    QVERIFY(first);
    w.mnuComm->trigger();
    QCOMPARE(w.commWindow(), first.data());
    const QWidgetList tops = QApplication::topLevelWidgets();
    QCOMPARE(
        std::count_if(tops.begin(), tops.end(),
                      [](QWidget* top) { return qobject_cast<forms::frmComm*>(top) && top->isVisible(); }),
        1);
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(w.cmdSelect);
    QVERIFY(!w.mnuConfig->isEnabled());
    w.mnuConfig_Click();
    QVERIFY(!w.configWindow());
}

// F10 or Alt alone, then the arrow keys and Enter, as on any desktop.
void tst_frmMain::everyMenuEntryIsReachedFromTheKeyboard() {
    frmMain& w = open();
    QApplication::setActiveWindow(&w);
    auto key = [](Qt::Key key) {
        QWidget* target = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                            : QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key);
    };
    key(Qt::Key_F10);
    // The first entry is shown selected: drawn in the highlight colour.
    const QRect first = w.menuBar()->actionGeometry(w.mnuComm);
    QCOMPARE(w.menuBar()->grab().toImage().pixelColor(first.left() + 2, first.center().y()),
             w.menuBar()->palette().color(QPalette::Highlight));
    for (Qt::Key step : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) {
        key(step);
    }
    QTRY_VERIFY(w.scanWindow());
    w.scanWindow()->close();
    QApplication::setActiveWindow(&w);
    key(Qt::Key_Alt);
    key(Qt::Key_Right);
    key(Qt::Key_Return);
    QTRY_VERIFY(w.configWindow());
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
