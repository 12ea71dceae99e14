// "Comm Port Settings": preselection, switching the live port between two pty pairs, what is
// stored at close, and refusals that change nothing.

#include "forms/frmComm.h"
#include "forms/frmCommLayout.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Twips.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/Layout.h"
#include "support/Rows.h"
#include "support/Script.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace trivex;
using forms::frmComm;
using forms::frmMain;
using test::click;
using test::hex;
using test::toHex;

class tst_frmComm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void cleanup();

    void preselectsWhatTheProgramRunsWith_data();
    void preselectsWhatTheProgramRunsWith();
    void setMovesTheTrafficToAnotherPort();
    void closingAtOnceKeepsWhatTheFileHolds();
    void setSwitchesThePortOrChangesNothing_data();
    void setSwitchesThePortOrChangesNothing();
    void entriesNameTheirDevices();
    void oneWindowLaidOutAsDrawn();

private:
    frmComm& open(const QString& commPort = "1", const QString& setting = "9600,n,8,1");
    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<test::PtyPeer> second_;
    std::unique_ptr<frmMain> main_;
};

frmComm& tst_frmComm::open(const QString& commPort, const QString& setting) {
    bench_ = std::make_unique<test::Bench>(commPort, setting);
    second_ = std::make_unique<test::PtyPeer>();
    bench_->set("Ports", "COM2", second_->slavePath());
    bench_->set("Ports", "COM3", "/dev/trivex-absent");
    main_ = std::make_unique<frmMain>();
    main_->mnuComm->trigger();
    return *main_->commWindow();
}

void tst_frmComm::cleanup() {
    main_.reset();
    second_.reset();
    bench_.reset();
}

void tst_frmComm::preselectsWhatTheProgramRunsWith_data() {
    QTest::addColumn<QString>("commPort");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("state"); // how the state line begins: it shows the live state at once
    test::row("COM3 at 9600", "3", "9600,n,8,1", "COM3", "9600 bps", "COM3 closed");
    test::row("COM1 at 4800", "1", "4800,n,8,1", "COM1", "4800 bps", "COM1 open");
    test::row("any other speed", "2", "19200,n,8,1", "COM2", "4800 bps", "COM2 open");
    test::row("no port number", "", "9600,n,8,1", "", "9600 bps", "No port is set yet");
    test::row("port beyond the list", "9", "9600,n,8,1", "", "9600 bps", "COM9 closed");
    test::row("port number is text", "abc", "9600,n,8,1", "", "9600 bps", "No port is set yet");
    test::row("port number with a leading zero", "03", "9600,n,8,1", "COM3", "9600 bps", "COM3 closed");
}

void tst_frmComm::preselectsWhatTheProgramRunsWith() {
    QFETCH(QString, commPort);
    QFETCH(QString, setting);
    QFETCH(QString, port);
    QFETCH(QString, speed);
    frmComm& w = open(commPort, setting);
    QCOMPARE(w.cboComm->count(), 7);
    QCOMPARE(w.cboComm->itemText(6), QStringLiteral("COM7"));
    QCOMPARE(w.cboBaud->count(), 2);
    QCOMPARE(w.cboComm->currentText(), port);
    QCOMPARE(w.cboBaud->currentText(), speed);
    QFETCH(QString, state);
    QVERIFY2(w.stateText().startsWith(state), qPrintable(w.stateText()));
}

void tst_frmComm::setMovesTheTrafficToAnotherPort() {
    frmComm& w = open();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(main_->cmdSelect);
    QCOMPARE(main_->statusText(), QStringLiteral("UID 101 Connected"));
    w.cboComm->setCurrentIndex(1);
    w.cboBaud->setCurrentIndex(1);
    click(w.cmdSetPort);
    QVERIFY(w.isVisible());
    QCOMPARE(second_->lineSpeed(), speed_t(B4800));
    QCOMPARE(w.stateText(), "COM2 open: " + second_->slavePath() + " at 4800,n,8,1");
    // The selection survives the switch.
    QCOMPARE(main_->statusText(), QStringLiteral("UID 101 Connected"));
    bench_->peer.clearReceived();
    click(main_->cmdShowStartup);
    QTRY_VERIFY(second_->received().size() >= 2u);
    QCOMPARE(toHex(second_->received()), toHex(hex("FE 14")));
    QCOMPARE(bench_->peer.received(), std::string());
    // A port lost while the window is open: its state line says so at once.
    second_.reset();
    QTRY_VERIFY2(w.stateText().contains("went away"), qPrintable(w.stateText()));
    // Nothing is stored until the window closes.
    QCOMPARE(bench_->get("Settings", "CommPort"), QStringLiteral("1"));
    w.close();
    QCOMPARE(bench_->get("Settings", "CommPort"), QStringLiteral("2"));
    QCOMPARE(bench_->get("Settings", "Setting"), QStringLiteral("4800,n,8,1"));
}

// Nothing changed here: what the file holds by the close (another copy's change) stays.
void tst_frmComm::closingAtOnceKeepsWhatTheFileHolds() {
    frmComm& w = open("1", "9600,n,8,1");
    bench_->set("Settings", "CommPort", "6");
    bench_->set("Settings", "Setting", "nonsense");
    w.cboComm->setCurrentIndex(4); // chosen, but not SET: discarded
    w.close();
    QCOMPARE(bench_->get("Settings", "CommPort"), QStringLiteral("6"));
    QCOMPARE(bench_->get("Settings", "Setting"), QStringLiteral("nonsense"));
}

void tst_frmComm::setSwitchesThePortOrChangesNothing_data() {
    QTest::addColumn<QString>("start"); // the port the program starts with: COM1 opens, COM3 is absent
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("variables"); // strCommPort and strSettings afterwards
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("state"); // how the line under SET begins
    auto row = [](const char* name, const char* start, const char* script, const char* variables, bool open,
                  const char* state) {
        QTest::newRow(name) << start << script << variables << open << state;
    };
    row("speed without its unit chooses 4800", "1", "index cboComm=0; text cboBaud=9600", "1 4800,n,8,1",
        true, "COM1 open: ");
    row("port that does not open stays closed", "1", "index cboComm=2", "3 9600,n,8,1", false,
        "COM3 closed: /dev/trivex-absent is not present.");
    row("SET opens a port that was closed", "3", "index cboComm=0", "1 9600,n,8,1", true, "COM1 open");
    for (const char* text : {"", "COM12", "LPT1"}) {
        row(qPrintable(QStringLiteral("\"%1\" changes nothing").arg(text)), "1",
            qPrintable(QStringLiteral("text cboComm=%1; index cboBaud=1").arg(text)), "1 9600,n,8,1", true,
            qPrintable(QStringLiteral("Nothing changed: \"%1\"").arg(text)));
    }
}

void tst_frmComm::setSwitchesThePortOrChangesNothing() {
    QFETCH(QString, start);
    QFETCH(QString, script);
    QFETCH(bool, open);
    frmComm& w = this->open(start);
    test::act(&w, script + "; click cmdSetPort");
    QTEST(main_->session().variables().strCommPort + ' ' + main_->session().variables().strSettings,
          "variables");
    QCOMPARE(main_->session().MSComm1().PortOpen(), open);
    QFETCH(QString, state);
    QVERIFY2(w.stateText().startsWith(state), qPrintable(w.stateText()));
    QCOMPARE(w.cboComm->count() + w.cboBaud->count(), 9);
    if (open) {
        QCOMPARE(bench_->peer.lineSpeed(), main_->session().variables().strSettings.startsWith("9600")
                                               ? speed_t(B9600)
                                               : speed_t(B4800));
    }
    // Switching the port leaves the device selection alone.
    QCOMPARE(main_->statusText(), QStringLiteral("Device Not Selected"));
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(main_->cmdSelect);
    QCOMPARE(main_->statusText(),
             open ? QStringLiteral("UID 101 Connected") : QStringLiteral("Device Not Found"));
}

void tst_frmComm::entriesNameTheirDevices() {
    frmComm& w = open();
    const QString first = w.cboComm->itemData(0, Qt::ToolTipRole).toString();
    QVERIFY2(first.contains(bench_->peer.slavePath()) && first.contains("present"), qPrintable(first));
    const QString third = w.cboComm->itemData(2, Qt::ToolTipRole).toString();
    QVERIFY2(third.contains("/dev/trivex-absent, which is not present"), qPrintable(third));
    QVERIFY(w.cboComm->itemData(6, Qt::ToolTipRole).toString().contains("/dev/ttyS6"));
    // A device that appears while the window is open is named present when the list opens.
    bench_->set("Ports", "COM3", second_->slavePath());
    w.show();
    w.cboComm->showPopup();
    QVERIFY(w.cboComm->itemData(2, Qt::ToolTipRole).toString().contains(": present"));
    w.cboComm->hidePopup();
}

void tst_frmComm::oneWindowLaidOutAsDrawn() {
    frmComm& w = open();
    const QSize drawn = forms::twipsSize(forms::kCommClientWidth, forms::kCommClientHeight);
    QCOMPARE(w.windowTitle(), QStringLiteral("Comm Port Settings"));
    QCOMPARE(w.size(), drawn);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!w.windowIcon().isNull());
    // A state longer than the line is shown whole: it wraps, and the window grows to hold it;
    // with a short state again it is as drawn again.
    for (const int entry : {6, 0}) {
        w.cboComm->setCurrentIndex(entry);
        bench_->set("Ports", "COM7", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        click(w.cmdSetPort);
        const QStringList problems = test::layoutProblems(&w, forms::frmCommLayout());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(w.rect().contains(w.lblPortState->geometry()));
        QCOMPARE(w.height() > drawn.height(), entry == 6);
    }
    // Chosen again while open: the same window, brought forward, not loaded afresh.
    w.cboComm->setEditText("typed");
    main_->mnuComm->trigger();
    QCOMPARE(main_->commWindow(), &w);
    QCOMPARE(w.cboComm->currentText(), QStringLiteral("typed"));
    QCOMPARE(w.cboComm->count(), 7);
}

QTEST_MAIN(tst_frmComm)
#include "tst_frmComm.moc"
