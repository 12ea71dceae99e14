// The windows beyond the laid-out three, against a pty peer: the traffic monitor.

#include "forms/Style.h"
#include "forms/TrafficModel.h"
#include "forms/frmMain.h"
#include "forms/frmTraffic.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/MessageWatcher.h"
#include "support/Script.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>

using namespace trivex;
using forms::frmMain;
using forms::frmTraffic;
using forms::TrafficModel;
using test::click;
using test::hex;
using test::MessageWatcher;
using test::toHex;

class tst_tools : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void cleanup();

    void trafficMonitorShowsEveryByteInWords();
    void trafficMonitorSendsBytesTypedInHex_data();
    void trafficMonitorSendsBytesTypedInHex();
    void trafficMonitorKeepsWhatItCannotSave();
    void trafficTableIsBounded();

private:
    frmTraffic& openMonitor();
    // The rows of the table as "direction|bytes|meaning".
    QStringList rows(const frmTraffic& monitor) const;

    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<frmMain> main_;
};

frmTraffic& tst_tools::openMonitor() {
    bench_ = std::make_unique<test::Bench>();
    main_ = std::make_unique<frmMain>();
    main_->mnuTraffic->trigger();
    return *main_->trafficWindow();
}

void tst_tools::cleanup() {
    main_.reset();
    bench_.reset();
}

QStringList tst_tools::rows(const frmTraffic& monitor) const {
    QStringList all;
    for (int row = 0; row < monitor.model().rowCount(); ++row) {
        all << monitor.model().line(row).section('\t', 1).replace('\t', '|');
    }
    return all;
}

void tst_tools::trafficMonitorShowsEveryByteInWords() {
    frmTraffic& monitor = openMonitor();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(main_->cmdSelect);
    test::act(main_.get(), "text txtLine1=HI; click cmdSendAscii");
    QVERIFY(bench_->peer.waitForBytes(5));
    bench_->peer.send(hex("EE 66")); // nobody waits for it
    QTRY_COMPARE(monitor.model().rowCount(), 4);
    QCOMPARE(rows(monitor),
             QStringList({"to bus|EF 65|start frame, address 101", "from bus|EE 65|acknowledge from 101",
                          "to bus|0D 48 49|clear display, text \"HI\"",
                          "from bus|EE 66|acknowledge from 102 (arrived while no exchange waited: "
                          "it can spoil the next reply)"}));
    // Times in milliseconds with one decimal, rising.
    QVERIFY(monitor.model().line(1).section('\t', 0, 0).contains(QRegularExpression("^\\d+\\.\\d$")));
    // The port's own events are entries too.
    main_->MSComm1().setPortOpen(false);
    QTRY_VERIFY(rows(monitor).last() == "port||port closed");
    // Copy gives the selected entries as text.
    monitor.tblTraffic->selectRow(2);
    click(monitor.cmdCopy);
    QVERIFY(QApplication::clipboard()->text().endsWith("to bus\t0D 48 49\tclear display, text \"HI\"\n"));
    // Paused, the table stands still; resumed, it catches up.
    click(monitor.cmdPause);
    QVERIFY(main_->MSComm1().setPortOpen(true));
    QTest::qWait(120);
    QCOMPARE(monitor.model().rowCount(), 5);
    click(monitor.cmdPause);
    QCOMPARE(monitor.model().rowCount(), 6);
    click(monitor.cmdClear);
    QCOMPARE(monitor.model().rowCount(), 0);
}

void tst_tools::trafficMonitorSendsBytesTypedInHex_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("sent"); // empty: refused, nothing written
    QTest::newRow("pairs with blanks") << "FE 14" << toHex(hex("FE 14"));
    QTest::newRow("pairs without blanks, lower case") << "fe14 0d" << toHex(hex("FE 14 0D"));
    for (const char* text : {"xyz", "FE 1", "F E14", "0x14", ""}) {
        QTest::newRow(text) << text << QByteArray();
    }
}

void tst_tools::trafficMonitorSendsBytesTypedInHex() {
    QFETCH(QString, typed);
    QFETCH(QByteArray, sent);
    frmTraffic& monitor = openMonitor();
    MessageWatcher messages;
    test::act(&monitor, "text txtRaw=" + typed + "; click cmdSendRaw");
    QCOMPARE(messages.seen.size(), sent.isEmpty() ? 1 : 0);
    QTest::qWait(20);
    QCOMPARE(toHex(bench_->peer.received()), sent);
    // A closed port is told, as elsewhere; text that is no bytes is refused before that.
    main_->MSComm1().setPortOpen(false);
    click(monitor.cmdSendRaw);
    QVERIFY(messages.seen.last().text.startsWith(sent.isEmpty() ? '"' + typed + "\" was not sent"
                                                                : "Port Not Open"));
}

void tst_tools::trafficMonitorKeepsWhatItCannotSave() {
    frmTraffic& monitor = openMonitor();
    click(main_->cmdShowStartup);
    QTRY_COMPARE(monitor.model().rowCount(), 1);
    const QString path = bench_->path("traffic.txt");
    QVERIFY(monitor.saveTo(path));
    QVERIFY(test::readFile(path).endsWith("to bus\tFE 14\tshow default screen\n"));
    MessageWatcher messages;
    QVERIFY(!monitor.saveTo(bench_->path("missing/folder/traffic.txt")));
    QCOMPARE(messages.seen.size(), 1);
    QVERIFY(messages.seen[0].text.contains("not saved"));
    QCOMPARE(monitor.model().rowCount(), 1);
}

void tst_tools::trafficTableIsBounded() {
    TrafficModel model(3);
    std::vector<link::TrafficEntry> entries(5);
    for (int i = 0; i < 5; ++i) {
        entries[static_cast<std::size_t>(i)].kind = link::TrafficEntry::Kind::Sent;
        entries[static_cast<std::size_t>(i)].bytes = std::string(1, char(i));
    }
    model.append(entries);
    model.append({entries[0]});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.dropped(), qint64(3));
    QVERIFY(model.line(0).contains("\t03\t") && model.line(2).contains("\t00\t"));
}

QTEST_MAIN(tst_tools)
#include "tst_tools.moc"
