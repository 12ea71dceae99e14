// The main window's start-up, device selection and input status, against a pty peer.

#include "forms/Style.h"
#include "forms/frmComm.h"
#include "forms/frmMain.h"
#include "support/Bench.h"
#include "support/Hex.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace trivex;
using forms::frmMain;
using test::Bench;
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
    void selectOutcomes_data();
    void selectOutcomes();
    void badAddressTextSendsNothing_data();
    void badAddressTextSendsNothing();
    void releaseOutcomes_data();
    void releaseOutcomes();
    void inputStatusShowsTheLevel_data();
    void inputStatusShowsTheLevel();
    void exchangeStartedDuringAWaitRunsFirst();
    void menusOpenOneWindowEach();
    void farEndClosingWhileRunning();

private:
    frmMain& open(const QString& commPort = "1", const QString& setting = "9600,n,8,1");
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

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
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Selected"));
    QVERIFY(w.MSComm1().PortOpen());
    QCOMPARE(w.MSComm1().RThreshold(), 2);
    QCOMPARE(w.MSComm1().InputMode(), 1);
    QVERIFY(!w.serialLink().Timer1.isActive());
    QCOMPARE(w.cboAddr->count(), 33);
    QCOMPARE(w.cboAddr->itemText(0), QStringLiteral("100"));
    QCOMPARE(w.cboAddr->itemText(32), QStringLiteral("132"));
    QCOMPARE(w.cboAddr->currentText(), QStringLiteral("101"));
    QCOMPARE(w.cboColumn->count(), 16);
    QCOMPARE(w.cboColumn->currentText(), QStringLiteral("0"));
    QCOMPARE(w.cboRow->count(), 2);
    QCOMPARE(w.cboRow->currentText(), QStringLiteral("0"));
    QCOMPARE(w.cboGraph->count(), 81);
    QCOMPARE(w.cboGraph->itemText(80), QStringLiteral("80"));
    QCOMPARE(w.cboGraph->currentText(), QStringLiteral("1"));
    QVERIFY(w.cmdSelect->isEnabled() && w.cmdDeselect->isEnabled());
    QVERIFY(w.mnuComm->isEnabled() && w.mnuConfig->isEnabled());
    QCOMPARE(w.Label4->text(), QString());
}

void tst_frmMain::startUpWithAPortThatDoesNotOpen_data() {
    QTest::addColumn<QString>("commPort");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("mapping"); // what COM1 stands for; "busy": the pty, held elsewhere
    QTest::addColumn<QString>("reason");
    QTest::newRow("no settings file values") << ""
                                             << ""
                                             << ""
                                             << "CommPort \"\"";
    QTest::newRow("port number is text") << "abc"
                                         << "9600,n,8,1"
                                         << ""
                                         << "CommPort \"abc\"";
    QTest::newRow("device not present") << "1"
                                        << "9600,n,8,1"
                                        << "/dev/trivex-absent"
                                        << "/dev/trivex-absent: not present";
    QTest::newRow("line settings refused") << "1"
                                           << "9600 baud"
                                           << ""
                                           << "\"9600 baud\"";
    QTest::newRow("port busy") << "1"
                               << "9600,n,8,1"
                               << "busy"
                               << "busy";
}

void tst_frmMain::startUpWithAPortThatDoesNotOpen() {
    QFETCH(QString, commPort);
    QFETCH(QString, setting);
    QFETCH(QString, mapping);
    QFETCH(QString, reason);
    bench_ = std::make_unique<Bench>(commPort, setting);
    link::SerialControl holder;
    if (mapping == "busy") {
        holder.setDeviceResolver([this](int) { return bench_->peer.slavePath(); });
        holder.setCommPort(1);
        holder.setSettings("9600,n,8,1");
        QVERIFY(holder.setPortOpen(true));
    } else if (!mapping.isEmpty()) {
        bench_->set("Ports", "COM1", mapping);
    }
    const QString stderrText = test::captureStderr([this] { window_ = std::make_unique<frmMain>(); });
    frmMain& w = *window_;
    QCOMPARE(stderrText.count('\n'), 1);
    QVERIFY2(stderrText.contains(reason), qPrintable(stderrText));
    QVERIFY(!w.MSComm1().PortOpen());
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Selected"));
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmMain::selectOutcomes_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("selected");
    auto row = [](const char* name, const char* address, const char* reply, const char* status,
                  bool selected) {
        QTest::newRow(name) << address << QByteArray::fromStdString(hex(reply)) << status << selected;
    };
    row("answered", "101", "EE 65", "UID 101 Connected", true);
    row("answered by another address", "101", "EE 64", "Device Not Found", false);
    row("no answer", "101", "", "Device Not Found", false);
    row("address text repeated as shown", "0102", "EE 66", "UID 0102 Connected", true);
    row("configuration address", "100", "EE 64", "UID 100 Connected", true);
}

void tst_frmMain::selectOutcomes() {
    QFETCH(QString, address);
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    QFETCH(bool, selected);
    frmMain& w = open();
    w.cboAddr->setEditText(address);
    if (!reply.isEmpty()) {
        bench_->peer.answer(protocol::Bytes("\xEF") + char(reply.at(1)), reply.toStdString());
    }
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), status);
    QCOMPARE(w.cmdSelect->isEnabled(), !selected);
    QVERIFY(w.cmdDeselect->isEnabled());
    QCOMPARE(w.mnuConfig->isEnabled(), !selected);
    QCOMPARE(bench_->peer.received().size(), std::size_t(2));
    QCOMPARE(w.cboAddr->count(), 33);
}

void tst_frmMain::badAddressTextSendsNothing_data() {
    QTest::addColumn<QString>("address");
    for (const char* text : {"", "abc", "256", "1.5", "-1", "0x65"}) {
        QTest::newRow(text[0] ? text : "empty") << QString::fromLatin1(text);
    }
}

void tst_frmMain::badAddressTextSendsNothing() {
    QFETCH(QString, address);
    frmMain& w = open();
    w.cboAddr->setEditText(address);
    click(w.cmdSelect);
    QVERIFY2(w.statusText().contains("refused"), qPrintable(w.statusText()));
    QVERIFY(w.statusText().contains('"' + address + '"'));
    QVERIFY(w.cmdSelect->isEnabled() && w.mnuConfig->isEnabled());
    QCOMPARE(w.cboAddr->count(), 33);
    QTest::qWait(20); // nothing may arrive; a select would have been on the wire at once
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmMain::releaseOutcomes_data() {
    QTest::addColumn<bool>("select");
    QTest::addColumn<bool>("unansweredQuery");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("released");
    QTest::newRow("not selected since start") << false << false << "No Response" << false;
    QTest::newRow("after a select, module silent") << true << false << "Device Disconnected" << true;
    QTest::newRow("after an unanswered input query") << true << true << "No Response" << false;
}

void tst_frmMain::releaseOutcomes() {
    QFETCH(bool, select);
    QFETCH(bool, unansweredQuery);
    QFETCH(QString, status);
    QFETCH(bool, released);
    frmMain& w = open();
    if (select) {
        bench_->peer.answer(hex("EF 65"), hex("EE 65"));
        click(w.cmdSelect);
        QCOMPARE(w.statusText(), QStringLiteral("UID 101 Connected"));
    }
    if (unansweredQuery) {
        click(w.cmdInput);
    }
    bench_->peer.clearReceived();
    click(w.cmdDeselect);
    QCOMPARE(toHex(bench_->peer.received()), toHex(hex("EA")));
    QCOMPARE(w.statusText(), status);
    if (released) {
        QVERIFY(w.cmdSelect->isEnabled() && !w.cmdDeselect->isEnabled() && w.mnuConfig->isEnabled());
    } else {
        QCOMPARE(w.cmdSelect->isEnabled(), !select);
        QVERIFY(w.cmdDeselect->isEnabled());
    }
}

void tst_frmMain::inputStatusShowsTheLevel_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("status");
    auto row = [](const char* name, const char* reply, const char* label, const char* status) {
        QTest::newRow(name) << QByteArray::fromStdString(hex(reply)) << label << status;
    };
    row("HIGH", "EE 65 08", "HIGH", "UID 101 Connected");
    row("LOW", "EE 65 00", "LOW", "UID 101 Connected");
    row("status without a meaning", "EE 65 04", "LOW", "UID 101 Connected");
    row("no answer", "", "LOW", "No Response");
}

void tst_frmMain::inputStatusShowsTheLevel() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, label);
    QFETCH(QString, status);
    frmMain& w = open();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(w.cmdSelect);
    bench_->peer.answer(hex("FE 0E"), hex("EE 65 00"));
    click(w.cmdInput);
    QCOMPARE(w.Label4->text(), QStringLiteral("LOW"));
    bench_->peer.clearAnswers();
    if (!reply.isEmpty()) {
        bench_->peer.answer(hex("FE 0E"), reply.toStdString());
    }
    click(w.cmdInput);
    QCOMPARE(w.Label4->text(), label);
    QCOMPARE(w.statusText(), status);
    QCOMPARE(w.MSComm1().RThreshold(), 2);
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
    QVERIFY(!w.serialLink().Timer1.isActive());
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

void tst_frmMain::farEndClosingWhileRunning() {
    frmMain& w = open();
    bench_->peer.close();
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
    QTRY_VERIFY(!w.MSComm1().PortOpen());
    click(w.cmdSelect);
    QCOMPARE(w.statusText(), QStringLiteral("Device Not Found"));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
