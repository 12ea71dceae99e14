// The windows beyond the laid-out three: the traffic monitor against a pty peer, the bus scan
// against the virtual module, the glyph editor of "Configure LCD", and the bus heard from the
// side through the virtual module's tap.

#include "forms/frmComm.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/tools/FrameModel.h"
#include "forms/tools/TrafficModel.h"
#include "forms/tools/frmGlyph.h"
#include "forms/tools/frmListen.h"
#include "forms/tools/frmNetworkPorts.h"
#include "forms/tools/frmScan.h"
#include "forms/tools/frmTraffic.h"
#include "link/CaptureFile.h"
#include "sim/core/Bus.h"
#include "sim/runtime/NetBus.h"
#include "sim/runtime/PtyBus.h"
#include "sim/runtime/TapPty.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/MessageWatcher.h"
#include "support/Rows.h"
#include "support/Script.h"
#include "support/VirtualBus.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

using namespace trivex;
using forms::frmMain;
using forms::frmScan;
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

    void screenReadersReadEachControl_data();
    void screenReadersReadEachControl();

    void trafficMonitorShowsEveryByteInWords();
    void trafficMonitorSendsBytesTypedInHex_data();
    void trafficMonitorSendsBytesTypedInHex();
    void trafficMonitorKeepsWhatItCannotSave();
    void trafficTableIsBounded();
    void busScanFindsTheModules_data();
    void busScanFindsTheModules();
    void busScanLeavesThePortAsItWas();
    void glyphEditorDrawsTheCharacterAndKeepsTheUpperBits();
    void glyphEditorCancelledChangesNothing();
    void characterSetsAreSavedAndOpenedWhole();
    void networkPortsAreSetTestedAndUsed();
    void listeningWindowHearsTheBusAndKeepsItAsACapture();
    void everyWindowIsOnScreenAndAnswersTheKeyboard_data();
    void everyWindowIsOnScreenAndAnswersTheKeyboard();

private:
    // "Configure LCD" with its cells as given (",": the cells in order), and the editor of
    // character k brought up by a click on its row label; then act runs on the editor, which
    // is closed with OK (or Cancel) after.
    forms::frmLCD& openEditor(const QString& cells, int character,
                              const std::function<void(forms::frmGlyph&)>& act, bool ok = true);
    // The main window on a virtual bus of these modules ("101", "102:4800"), the scan window open.
    frmScan& openScan(const QStringList& modules, bool echo = false, int answerMs = 2, int latencyMs = 0);
    frmTraffic& openMonitor();
    // The rows of the table as "direction|bytes|meaning".
    QStringList rows(const frmTraffic& monitor) const;

    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<test::VirtualBus> bus_;
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
    bus_.reset();
    bench_.reset();
}

frmScan& tst_tools::openScan(const QStringList& modules, bool echo, int answerMs, int latencyMs) {
    bench_ = std::make_unique<test::Bench>();
    bus_ = std::make_unique<test::VirtualBus>(modules, bench_->path("bus"), answerMs, echo, latencyMs);
    bench_->set("Ports", "COM1", bus_->pty.linkPath());
    main_ = std::make_unique<frmMain>();
    main_->mnuScan->trigger();
    return *main_->scanWindow();
}

forms::frmLCD& tst_tools::openEditor(const QString& cells, int character,
                                     const std::function<void(forms::frmGlyph&)>& act, bool ok) {
    if (!main_) {
        bench_ = std::make_unique<test::Bench>();
        main_ = std::make_unique<frmMain>();
        main_->mnuConfig->trigger();
    }
    forms::frmLCD& config = *main_->configWindow();
    const QStringList texts = cells.split(',');
    for (int i = 0; i < texts.size(); ++i) {
        config.txtCustom[static_cast<std::size_t>(i)]->setText(texts[i]);
    }
    QTimer::singleShot(0, this, [=] {
        auto* editor = qobject_cast<forms::frmGlyph*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        act(*editor);
        ok ? editor->accept() : editor->reject();
    });
    QTest::mouseClick(config.rowLabels[static_cast<std::size_t>(character - 1)], Qt::LeftButton);
    return config;
}

QStringList tst_tools::rows(const frmTraffic& monitor) const {
    QStringList all;
    for (int row = 0; row < monitor.model().rowCount(); ++row) {
        all << monitor.model().line(row).section('\t', 1).replace('\t', '|');
    }
    return all;
}

// What screen readers and UI automation read: a control without a caption of its own by what it
// is; a label that shows a value by that value (Qt announces a change of its text only while the
// label has no name of its own), after the state changes. No control an operator uses goes
// without a name.
void tst_tools::screenReadersReadEachControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("reads"); // how its accessible name starts
    test::row("line box", "txtLine2", "Line 2");
    test::row("address list", "cboAddr", "RS485 Address");
    test::row("UID list", "cboUID", "UID");
    test::row("bitmap cell", "txtCustom(21)", "CHAR 3, byte 6");
    test::row("speed list", "cboBaud", "Baud rate");
    test::row("status bar", "Panel1", "UID 101 Connected");
    test::row("input state", "Label4", "HIGH");
    test::row("port state line", "lblPortState", "COM2 closed: /dev/trivex-absent is not present");
    test::row("traffic count", "lblCount", "1 entry");
    test::row("glyph row values", "lblValues", "dec  hex binary");
}

void tst_tools::screenReadersReadEachControl() {
    QFETCH(QString, control);
    QFETCH(QString, reads);
    auto check = [&](QWidget* widget) {
        QVERIFY2(widget, qPrintable(control));
        const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).trimmed();
        QVERIFY2(name.startsWith(reads), qPrintable(name));
        if (const auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(name, (label->textFormat() == Qt::RichText
                                ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                : label->text())
                               .trimmed());
            QVERIFY(label->accessibleName().isEmpty());
        }
    };
    if (control == "lblValues") {
        openEditor("0", 1, [&](forms::frmGlyph& editor) {
            QTest::keyClick(editor.grid, Qt::Key_Space);
            check(editor.lblValues);
        });
        return;
    }
    frmTraffic& monitor = openMonitor();
    bench_->set("Ports", "COM2", "/dev/trivex-absent");
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    bench_->peer.answer(hex("FE 0E"), hex("EE 65 08"));
    main_->mnuConfig->trigger();
    QWidgetList windows{main_.get(), &monitor, main_->configWindow()};
    click(main_->cmdSelect);
    click(main_->cmdInput);
    QTRY_COMPARE(monitor.model().rowCount(), 4);
    click(monitor.cmdClear);
    click(main_->cmdShowStartup);
    QTRY_COMPARE(monitor.model().rowCount(), 1);
    main_->mnuComm->trigger();
    windows << main_->commWindow();
    if (control == "lblPortState") {
        test::act(main_->commWindow(), "index cboComm=1; click cmdSetPort");
    }
    QWidget* widget = nullptr;
    for (QWidget* window : windows) {
        widget = widget ? widget : window->findChild<QWidget*>(control);
        for (QWidget* used : window->findChildren<QWidget*>()) {
            // (a list's own text field and view go by the list's name)
            if (used->focusPolicy() & Qt::TabFocus && !used->inherits("QComboBoxListView") &&
                !qobject_cast<QComboBox*>(used->parentWidget())) {
                QVERIFY2(!QAccessible::queryAccessibleInterface(used)->text(QAccessible::Name).isEmpty(),
                         qPrintable(used->objectName() + " " + used->metaObject()->className()));
            }
        }
    }
    check(widget);
}

// Every entry in words, shown whole however long, counted in words that agree with the number.
void tst_tools::trafficMonitorShowsEveryByteInWords() {
    frmTraffic& monitor = openMonitor();
    monitor.show();
    bench_->peer.answer(hex("EF 65"), hex("EE 65"));
    click(main_->cmdSelect);
    test::act(main_.get(), "text txtLine1=HI; click cmdSendAscii");
    QTRY_VERIFY(bench_->peer.received().size() >= 5u);
    bench_->peer.send(hex("EE 66")); // nobody waits for it
    QTRY_COMPARE(monitor.model().rowCount(), 4);
    test::act(&monitor, "text txtRaw=" + QString("41 ").repeated(60) + "; click cmdSendRaw");
    QTRY_COMPARE(monitor.lblCount->text(), QStringLiteral("5 entries"));
    QCOMPARE(rows(monitor).mid(0, 4),
             QStringList({"to bus|EF 65|start frame, address 101", "from bus|EE 65|acknowledge from 101",
                          "to bus|0D 48 49|clear display, text \"HI\"",
                          "from bus|EE 66|acknowledge from 102 (arrived while no exchange waited: "
                          "it can spoil the next reply)"}));
    const QHeaderView* header = monitor.tblTraffic->horizontalHeader();
    for (int row = 0; row < monitor.model().rowCount(); ++row) {
        for (int column = 0; column < TrafficModel::Columns; ++column) {
            const QFont font =
                column == TrafficModel::Bytes
                    ? monitor.model().data(monitor.model().index(row, column), Qt::FontRole).value<QFont>()
                    : monitor.tblTraffic->font();
            QVERIFY2(QFontMetrics(font).horizontalAdvance(monitor.model().text(row, column)) <
                         header->sectionSize(column),
                     qPrintable(monitor.model().text(row, column)));
        }
    }
    // Wall-clock times, to the millisecond.
    const QTime shown = QTime::fromString(monitor.model().line(1).section('\t', 0, 0), "HH:mm:ss.zzz");
    QVERIFY(std::abs(shown.msecsTo(QTime::currentTime())) < 5000);
    // The port's own events are entries too.
    main_->session().MSComm1().setPortOpen(false);
    QTRY_VERIFY(rows(monitor).last() == "port||port closed");
    monitor.tblTraffic->scrollToTop();
    // Copy gives the selected entries as text.
    monitor.tblTraffic->selectRow(2);
    click(monitor.cmdCopy);
    QVERIFY(QApplication::clipboard()->text().endsWith("to bus\t0D 48 49\tclear display, text \"HI\"\n"));
    // Paused, the table stands still; resumed, it catches up.
    click(monitor.cmdPause);
    QVERIFY(main_->session().MSComm1().setPortOpen(true));
    QTest::qWait(120);
    QCOMPARE(monitor.model().rowCount(), 6);
    click(monitor.cmdPause);
    QCOMPARE(monitor.model().rowCount(), 7);
    click(monitor.cmdClear);
    QCOMPARE(monitor.model().rowCount(), 0);
}

void tst_tools::trafficMonitorSendsBytesTypedInHex_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("sent"); // empty: refused, nothing written
    QTest::newRow("pairs with blanks") << "FE 14" << toHex(hex("FE 14"));
    QTest::newRow("pairs without blanks, lower case") << "fe14 0d" << toHex(hex("FE 14 0D"));
    for (const char* text : {"xyz", "F E14", "0x14"}) {
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
    main_->session().MSComm1().setPortOpen(false);
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
    const QStringList saved = QString::fromUtf8(test::readFile(path)).split('\n');
    // A header names the date, the program's version, the port, its device and speed.
    QVERIFY2(saved[0].startsWith("# trivex " TRIVEX_VERSION " traffic, saved " +
                                 QDate::currentDate().toString(Qt::ISODate)),
             qPrintable(saved[0]));
    QCOMPARE(saved[1], "# COM1 open: " + bench_->peer.slavePath() + " at 9600,n,8,1");
    QVERIFY(saved[3].endsWith("to bus\tFE 14\tshow default screen"));
    MessageWatcher messages;
    QVERIFY(!monitor.saveTo(bench_->path("missing/folder/traffic.txt")));
    QCOMPARE(messages.seen.size(), 1);
    QVERIFY(messages.seen[0].text.contains("not saved"));
    QCOMPARE(monitor.model().rowCount(), 1);
}

void tst_tools::trafficTableIsBounded() {
    TrafficModel model(3);
    std::deque<link::TrafficEntry> entries(5);
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

// Findings as "address at speed" with the note's beginning; addresses 100 to 112 at both speeds.
void tst_tools::busScanFindsTheModules_data() {
    QTest::addColumn<QString>("modules");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("found");
    QTest::addColumn<int>("answerMs");  // when the modules answer
    QTest::addColumn<int>("latencyMs"); // the adapter's latency timer
    QTest::addColumn<int>("allowance"); // the operator's answer allowance
    test::row("modules at both speeds, one renumbered to 100", "100;101;102:4800", false,
              "100@9600 answers at the configuration address|101@9600|102@4800", 2, 0, 0);
    test::row("behind an adapter that echoes", "101;103:4800", true, "101@9600|103@4800", 2, 0, 0);
    test::row("two modules on one address", "101;101;102", false, "101@9600 no clean acknowledge|102@9600", 2,
              0, 0);
    test::row("nothing on the bus", "120", false, "", 2, 0, 16);
    // Findings and notes as the 150 ms window gives them: a module slower than the window widens
    // it and is probed again; answers an adapter holds back are credited as they come, and bytes
    // that are no acknowledge are told of the probe they belong to.
    test::row("a module slower than the window", "101;103;104", false, "101@9600|103@9600|104@9600", 40, 0,
              2);
    test::row("behind an adapter that holds reads 16 ms", "101;103;102:4800", false,
              "101@9600|102@4800|103@9600", 2, 16, 0);
    test::row("two modules on one address, reads held 16 ms", "101;101;102", false,
              "101@9600 no clean acknowledge|102@9600", 2, 16, 0);
}

void tst_tools::busScanFindsTheModules() {
    QFETCH(QString, modules);
    QFETCH(bool, echo);
    QFETCH(QString, found);
    QFETCH(int, answerMs);
    QFETCH(int, latencyMs);
    QFETCH(int, allowance);
    frmScan& scan = openScan(modules.split(';'), echo, answerMs, latencyMs);
    // The modules sit well below the range's end, so that an answer that comes late (a slow
    // module, a held read, or a virtual module a busy machine kept waiting) comes while the scan
    // still probes at its speed, and is credited or widens the window.
    scan.spnTo->setValue(112);
    scan.spnAllowance->setValue(allowance);
    if (answerMs > 20) {
        scan.chk4800->setChecked(false);
    }
    QSignalSpy finished(&scan.scan(), &link::BusScan::finished);
    std::vector<std::pair<int, double>> probes; // speed, and when its start frame went out (ms)
    QElapsedTimer clock;
    clock.start();
    connect(&scan.scan(), &link::BusScan::probing, this, [&](int, int speed, int, int) {
        probes.emplace_back(speed, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    });
    click(scan.cmdScan);
    QCOMPARE(scan.cmdScan->text(), QStringLiteral("&Stop"));
    QVERIFY(!main_->cmdSelect->isEnabled() && !main_->mnuConfig->isEnabled()); // the main window waits
    // Behind an echoing adapter "Ignore adapter echo" is ticked while the scan runs: the choice
    // holds from its end on.
    scan.chkIgnoreEcho->setChecked(echo);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toString(), QStringLiteral("done"));
    QStringList seen;
    for (const link::ScanFinding& finding : scan.scan().findings()) {
        seen
            << QStringLiteral("%1@%2 %3").arg(finding.address).arg(finding.speed).arg(finding.note).trimmed();
    }
    seen.sort();
    QStringList expected = found.split('|', Qt::SkipEmptyParts);
    expected.sort();
    QVERIFY2(seen.size() == expected.size(), qPrintable(seen.join(QLatin1Char(124))));
    for (int i = 0; i < seen.size(); ++i) {
        // A note as expected, or none where none is expected.
        QVERIFY2(seen[i].startsWith(expected[i]) && seen[i].contains(' ') == expected[i].contains(' '),
                 qPrintable(seen.join('|')));
    }
    QCOMPARE(scan.tblFound->rowCount(), seen.size());
    if (answerMs > 20) { // later than the window and any hold: widened to what it met
        QVERIFY(scan.spnAllowance->value() > allowance);
    }
    // No start frame goes out while an answer to the one before may still be on the line: its
    // bytes and an acknowledge at that speed, and a module's answer time.
    for (std::size_t i = 1; i < probes.size(); ++i) {
        const auto [speed, at] = probes[i];
        if (speed == probes[i - 1].first) {
            QVERIFY2(at - probes[i - 1].second >= protocol::wireMs(4, speed) + link::kModuleAnswerMs - 0.5,
                     qPrintable(QStringLiteral("%1 ms at %2").arg(at - probes[i - 1].second).arg(speed)));
        }
    }
    QCOMPARE(scan.lblEcho->text().isEmpty(), !echo);
    QCOMPARE(QAccessible::queryAccessibleInterface(scan.lblEcho)->text(QAccessible::Name),
             scan.lblEcho->text());
    // The port as it was before, and the main window's exchanges work again.
    QCOMPARE(main_->session().MSComm1().Settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(main_->session().MSComm1().RThreshold(), 2);
    QCOMPARE(main_->session().MSComm1().echoStripping(), echo);
    QVERIFY(main_->cmdSelect->isEnabled() && main_->mnuConfig->isEnabled());
    if (echo) {
        click(main_->cmdSelect);
        QCOMPARE(main_->statusText(), QStringLiteral("UID 101 Connected"));
        click(main_->cmdInput);
        QCOMPARE(main_->Label4->text(), QStringLiteral("LOW"));
        QCOMPARE(bench_->get("Settings", "IgnoreEcho"), QStringLiteral("1"));
    }
}

// However a scan ends, the port runs at its own speed again; the module found at another
// speed is reached through "Use".
void tst_tools::busScanLeavesThePortAsItWas() {
    frmScan& scan = openScan({"102:4800"});
    MessageWatcher messages;
    main_->session().MSComm1().setPortOpen(false);
    click(scan.cmdScan);
    QVERIFY(messages.seen.last().text.contains("is closed") && !scan.scan().isRunning());
    QVERIFY(main_->session().MSComm1().setPortOpen(true));
    main_->cmdSelect->setEnabled(false); // as after an acknowledged start frame
    click(scan.cmdScan);
    QVERIFY(messages.seen.last().text.contains("Send Stop Frame") && !scan.scan().isRunning());
    main_->cmdSelect->setEnabled(true);
    scan.chk9600->setChecked(false); // probes at 4800 while the port is set to 9600
    QSignalSpy probing(&scan.scan(), &link::BusScan::probing);
    click(scan.cmdScan);
    QVERIFY(probing.wait(2000));
    QCOMPARE(main_->session().MSComm1().Settings(), QStringLiteral("4800,n,8,1"));
    click(scan.cmdScan); // Stop
    QVERIFY(!scan.scan().isRunning());
    QCOMPARE(main_->session().MSComm1().Settings(), QStringLiteral("9600,n,8,1"));
    scan.spnFrom->setValue(101);
    scan.spnTo->setValue(103);
    QSignalSpy finished(&scan.scan(), &link::BusScan::finished);
    click(scan.cmdScan);
    QVERIFY(finished.wait(5000));
    scan.tblFound->selectRow(0);
    click(scan.cmdUse);
    QCOMPARE(main_->cboAddr->currentText(), QStringLiteral("102"));
    QCOMPARE(main_->session().MSComm1().Settings(), QStringLiteral("4800,n,8,1"));
    click(main_->cmdSelect);
    QCOMPARE(main_->statusText(), QStringLiteral("UID 102 Connected"));
    click(main_->cmdDeselect);
    // The port lost in the middle of a scan: it is to reopen at its own speed.
    scan.chk9600->setChecked(true);
    click(scan.cmdScan);
    QVERIFY(probing.wait(2000));
    test::captureStderr([this] {
        bus_.reset();
        QTRY_VERIFY(!main_->session().MSComm1().PortOpen());
    });
    QVERIFY(!scan.scan().isRunning());
    QCOMPARE(main_->session().MSComm1().Settings(), QStringLiteral("4800,n,8,1"));
}

// CHAR 2 starts with the byte 227: pixels of its low five bits, the upper three kept and told.
void tst_tools::glyphEditorDrawsTheCharacterAndKeepsTheUpperBits() {
    const QString cells = QString("0,").repeated(8) + "227,0,0,0,0,0,0,0";
    forms::frmLCD& config = openEditor(cells, 2, [](forms::frmGlyph& editor) {
        forms::GlyphGrid& grid = *editor.grid;
        QCOMPARE(editor.windowTitle(), QStringLiteral("CHAR 2"));
        QVERIFY(!grid.pixel(0, 0) && !grid.pixel(2, 0) && grid.pixel(3, 0) && grid.pixel(4, 0));
        QVERIFY(editor.lblNotes->text().contains("Byte 1 (227)"));
        // A click toggles a pixel, a drag paints as the first one became, keys move and toggle.
        auto centre = [&grid](int column, int row) {
            return QPoint(grid.width() * (2 * column + 1) / 10, grid.height() * (2 * row + 1) / 16);
        };
        QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, centre(0, 1));
        QTest::mousePress(&grid, Qt::LeftButton, Qt::NoModifier, centre(0, 2));
        for (int column = 1; column < 5; ++column) {
            QMouseEvent move(QEvent::MouseMove, centre(column, 2), grid.mapToGlobal(centre(column, 2)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&grid, &move);
        }
        QTest::mouseRelease(&grid, Qt::LeftButton, Qt::NoModifier, centre(4, 2));
        QTest::keyClick(&grid, Qt::Key_Up);
        QTest::keyClick(&grid, Qt::Key_Up);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Left);
        QTest::keyClick(&grid, Qt::Key_Space); // pixel 2 of row 0
        QVERIFY(editor.lblValues->text().contains("1  231  E7  11100111"));
        click(editor.findChild<QPushButton*>("Invert")); // the pixels only: 111 11000
        click(editor.findChild<QPushButton*>("Shift right"));
        click(editor.findChild<QPushButton*>("Shift down"));
    });
    QStringList shown;
    for (int i = 8; i < 16; ++i) {
        shown << config.txtCustom[static_cast<std::size_t>(i)]->text();
    }
    // Inverted: 248 (row 0), 15, 0, 31 ...; shifted right: 236, 7, 0, 15 ...; the pixels down one
    // row, the upper bits of byte 1 staying where they were.
    QCOMPARE(shown.join(','), QStringLiteral("224,12,7,0,15,15,15,15"));
    QCOMPARE(config.txtCustom[0]->text(), QStringLiteral("0")); // other characters untouched
}

void tst_tools::glyphEditorCancelledChangesNothing() {
    forms::frmLCD& config = openEditor(
        "1,2,3,x", 1,
        [](forms::frmGlyph& editor) {
            editor.cboLibrary->setCurrentIndex(editor.cboLibrary->findText("Heart"));
            emit editor.cboLibrary->activated(editor.cboLibrary->currentIndex());
            QCOMPARE(editor.cells().mid(0, 8).join(','), QStringLiteral("0,10,31,31,14,4,0,0"));
            QVERIFY(editor.lblNotes->text().contains("Byte 4 held \"x\""));
        },
        false);
    QCOMPARE(config.txtCustom[3]->text(), QStringLiteral("x"));
    QCOMPARE(config.txtCustom[1]->text(), QStringLiteral("2"));
}

void tst_tools::characterSetsAreSavedAndOpenedWhole() {
    QString cells;
    for (int i = 0; i < 64; ++i) {
        cells += QString::number(i * 3) + (i < 63 ? "," : "");
    }
    const QString path =
        QDir::temp().filePath(QStringLiteral("trivex-set-%1.ini").arg(QCoreApplication::applicationPid()));
    openEditor(cells, 1, [&](forms::frmGlyph& editor) { QVERIFY(editor.saveSet(path)); });
    QVERIFY(test::readFile(path).contains("[LCD]\nCustom1=0\n"));
    // Cells nobody filled in yet are blank rows, as the editor shows them.
    main_.reset();
    openEditor("", 2, [&](forms::frmGlyph& editor) { QVERIFY(editor.saveSet(path + ".blank")); });
    QVERIFY(test::readFile(path + ".blank").endsWith("Custom63=0\nCustom64=0\n"));
    QFile::remove(path + ".blank");
    main_.reset();
    forms::frmLCD& config = openEditor(QString("9,").repeated(63) + "9", 5, [&](forms::frmGlyph& editor) {
        MessageWatcher messages;
        for (const auto& [content, key] : {std::pair{"[LCD]\nCustom1=1\n", "Custom2 is missing"},
                                           std::pair{"[LCD]\nCustom1=1\nCustom2=300\n", "Custom2=300"},
                                           std::pair{"not a set", "no INI file"}}) {
            test::writeFile(path + ".bad", content);
            QVERIFY(!editor.openSet(path + ".bad"));
            QVERIFY2(messages.seen.last().text.contains(key), qPrintable(messages.seen.last().text));
            QCOMPARE(editor.cells().first(), QStringLiteral("9"));
        }
        QVERIFY(editor.openSet(path));
    });
    for (int i = 0; i < 64; ++i) {
        QCOMPARE(config.txtCustom[static_cast<std::size_t>(i)]->text(), QString::number(i * 3));
    }
    QFile::remove(path);
    QFile::remove(path + ".bad");
}

// A serial server on the network (the virtual module's own, served as trivex-sim --listen does):
// its URL typed and set for COM4, tested, used as a local port is, and removed.
void tst_tools::networkPortsAreSetTestedAndUsed() {
    bench_ = std::make_unique<test::Bench>();
    sim::Bus bus({sim::ModuleSettings{}});
    sim::NetBus server(bus, 2);
    QString error;
    QVERIFY2(server.listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
    main_ = std::make_unique<frmMain>();
    main_->mnuNetwork->trigger();
    forms::frmNetworkPorts& w = *main_->networkWindow();
    w.cboPort->setCurrentIndex(3);
    QTest::keyClicks(w.txtUrl, "rfc2217://127.0.0.1");
    click(w.cmdSet); // no port number: nothing is stored
    QVERIFY2(w.lblState->text().startsWith("Nothing changed"), qPrintable(w.lblState->text()));
    QCOMPARE(bench_->get("Ports", "COM4"), QString());
    QTest::keyClicks(w.txtUrl, QStringLiteral(":%1").arg(server.port()));
    click(w.cmdSet);
    QCOMPARE(bench_->get("Ports", "COM4"), server.linkPath());
    QCOMPARE(w.tblPorts->rowCount(), 1);
    click(w.cmdTest);
    QTRY_VERIFY2(w.lblState->text().contains(" answers: ready after "), qPrintable(w.lblState->text()));
    main_->mnuComm->trigger();
    main_->commWindow()->cboComm->setCurrentIndex(3);
    click(main_->commWindow()->cmdSetPort);
    QTRY_VERIFY(main_->session().MSComm1().PortOpen());
    QVERIFY2(main_->commWindow()->stateText().startsWith("COM4 open: " + server.linkPath() +
                                                         " at 9600,n,8,1, round trip "),
             qPrintable(main_->commWindow()->stateText()));
    click(main_->cmdSelect);
    QCOMPARE(main_->statusText(), QStringLiteral("UID 101 Connected"));
    click(w.cmdRemove);
    QCOMPARE(bench_->get("Ports", "COM4"), QString());
    QCOMPARE(w.tblPorts->rowCount(), 0);
}

// Every window the main window opens: wholly on its screen (a laptop's 1280 x 800; a tool window
// beside it, here to its right, as it sits in the screen's bottom left corner), a mnemonic of its
// own at work, and Escape closing it as its close button does. From Configure LCD, the glyph editor of a row
// opens from the keyboard: F2 in a cell of the row, or Enter or Space on its label.
void tst_tools::everyWindowIsOnScreenAndAnswersTheKeyboard_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("mnemonic"); // with Alt; 0: the laid-out captions have none
    test::row("Traffic Monitor", "traffic", int(Qt::Key_P));
    test::row("Scan Bus", "scan", int(Qt::Key_S));
    test::row("Network Ports", "network", int(Qt::Key_S));
    test::row("Listen to Bus", "listen", int(Qt::Key_D));
    test::row("Comm Port Settings", "comm", 0);
    test::row("Configure LCD", "lcd", 0);
}

void tst_tools::everyWindowIsOnScreenAndAnswersTheKeyboard() {
    QFETCH(QString, window);
    QFETCH(int, mnemonic);
    openScan({"101"});
    main_->scanWindow()->close();
    QTRY_VERIFY(!main_->scanWindow());
    main_->show();
    const QRect room = main_->screen()->availableGeometry();
    main_->move(room.bottomLeft() - QPoint(0, main_->frameGeometry().height()));
    QApplication::setActiveWindow(main_.get());
    QTest::keyClick(main_.get(), Qt::Key_T, Qt::AltModifier); // the Tools menu
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(main_->mnuTools));
    QApplication::activePopupWidget()->close();
    const std::map<QString, std::pair<QAction*, std::function<QWidget*()>>> windows{
        {"traffic", {main_->mnuTraffic, [this] { return main_->trafficWindow(); }}},
        {"scan", {main_->mnuScan, [this] { return main_->scanWindow(); }}},
        {"network", {main_->mnuNetwork, [this] { return main_->networkWindow(); }}},
        {"listen", {main_->mnuListen, [this] { return main_->listenWindow(); }}},
        {"comm", {main_->mnuComm, [this] { return main_->commWindow(); }}},
        {"lcd", {main_->mnuConfig, [this] { return main_->configWindow(); }}}};
    windows.at(window).first->trigger();
    QPointer<QWidget> opened = windows.at(window).second();
    QVERIFY(opened && QTest::qWaitForWindowExposed(opened));
    QVERIFY2(room.contains(opened->frameGeometry()), qPrintable(window));
    QVERIFY(!mnemonic || opened->frameGeometry().left() > main_->frameGeometry().right());
    QApplication::setActiveWindow(opened);
    if (mnemonic) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(mnemonic), Qt::AltModifier);
        if (window == "traffic") {
            QTRY_VERIFY(main_->trafficWindow()->cmdPause->isChecked());
        } else if (window == "listen") {
            QTRY_VERIFY(main_->listenWindow()->cboSpeed->hasFocus());
        } else if (window == "scan") {
            QTRY_VERIFY(main_->scanWindow()->scan().isRunning()); // and Escape stops it
        } else {
            QTRY_VERIFY(!main_->networkWindow()->lblState->text().isEmpty()); // no URL: refused
        }
    }
    if (window == "lcd") {
        forms::frmLCD& config = *main_->configWindow();
        QStringList edited;
        auto editor = [&] { // what comes up is seen, and cancelled
            QTimer::singleShot(0, this, [&] {
                edited << QApplication::activeModalWidget()->windowTitle();
                static_cast<QDialog*>(QApplication::activeModalWidget())->reject();
            });
        };
        config.txtCustom[13]->setFocus();
        editor();
        QTest::keyClick(config.txtCustom[13], Qt::Key_F2);
        config.rowLabels[2]->setFocus(); // as a click or an assistive tool gives it
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            editor();
            QTest::keyClick(config.rowLabels[2], key);
        }
        QCOMPARE(edited, QStringList({"CHAR 2", "CHAR 3", "CHAR 3"}));
        QVERIFY(config.rowLabels[2]->toolTip().isEmpty() &&
                config.rowLabels[2]->accessibleDescription().contains("F2"));
        test::act(&config, "text cboUID=133");
    }
    QApplication::setActiveWindow(opened);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!opened);
    if (window == "lcd") {
        QCOMPARE(bench_->get("LCD", "UID"), QStringLiteral("133")); // stored as on close
    }
}

// "Listen to Bus" on the virtual module's tap while the main window drives the module: both
// sides heard, nothing written to the tap. The port the main window uses is refused by any of
// its names. What was heard is saved as a capture that reads back whole; the traffic monitor,
// saving the same exchanges as a capture, holds the same bytes, and opens a capture in a window
// of its own; a file that is no capture is refused.
void tst_tools::listeningWindowHearsTheBusAndKeepsItAsACapture() {
    openScan({"101"});
    main_->scanWindow()->close();
    sim::TapPty tap;
    QString error;
    QVERIFY2(tap.open(bench_->path("tap"), &error), qPrintable(error));
    connect(&bus_->pty, &sim::BusPort::onLine, &tap, &sim::TapPty::pass);
    QVERIFY(QFile::link(bus_->pty.linkPath(), bench_->path("alias")));
    main_->mnuTraffic->trigger();
    main_->mnuListen->trigger();
    forms::frmListen& listen = *main_->listenWindow();
    MessageWatcher messages;
    for (const QString& port : {QStringLiteral("COM1"), bench_->path("alias")}) {
        listen.cboPort->setCurrentText({});
        QTest::keyClicks(listen.cboPort, port);
        click(listen.cmdListen);
        QVERIFY2(!listen.isListening() &&
                     messages.seen.last().text.contains("is busy: the main window uses it"),
                 qPrintable(port));
    }
    listen.cboPort->setCurrentText({});
    QTest::keyClicks(listen.cboPort, bench_->path("tap"));
    click(listen.cmdListen);
    QVERIFY(listen.isListening());
    QVERIFY(listen.lblState->text().startsWith("Listening on " + bench_->path("tap") + " at 9600 bit/s"));
    click(main_->cmdSelect);
    QTRY_COMPARE(main_->statusText(), QStringLiteral("UID 101 Connected"));
    click(main_->cmdInput);
    QTRY_COMPARE(listen.model().rowCount(), 4);
    click(listen.cmdListen);
    QVERIFY(!listen.isListening());
    QCOMPARE(tap.taken(), 0);
    QStringList heard;
    for (int row = 0; row < listen.model().rowCount(); ++row) {
        heard << listen.model().text(row, forms::FrameModel::Direction) + " " +
                     listen.model().text(row, forms::FrameModel::Bytes);
        QVERIFY(listen.model().text(row, forms::FrameModel::Flags).isEmpty());
    }
    QCOMPARE(heard, QStringList({"controller EF 65", "module EE 65", "controller FE 0E", "module EE 65 00"}));
    listen.cboPort->setCurrentText({});
    QTest::keyClicks(listen.cboPort, bench_->path("absent"));
    click(listen.cmdListen); // not there: what was heard stays
    QCOMPARE(listen.model().rowCount(), 4);

    QVERIFY(listen.saveCapture(bench_->path("heard.pcapng")));
    QVERIFY(main_->trafficWindow()->saveTo(bench_->path("port.pcapng")));
    for (const char* file : {"heard.pcapng", "port.pcapng"}) {
        const auto contents = link::readCaptureFile(bench_->path(file), &error);
        QVERIFY2(contents && contents->speed == 9600, qPrintable(error));
        QStringList read;
        for (const protocol::BusFrame& frame : contents->frames) {
            read << QStringLiteral("%1 %2").arg(frame.direction == protocol::Direction::ToBus ? "controller"
                                                                                              : "module",
                                                QString::fromLatin1(toHex(frame.bytes)));
        }
        QCOMPARE(read, heard);
    }
    QWidget* opened = main_->trafficWindow()->openCapture(bench_->path("heard.pcapng"));
    QVERIFY(opened);
    const auto& shown = static_cast<forms::frmListen*>(opened)->model().frames();
    QVERIFY(std::equal(shown.begin(), shown.end(), listen.model().frames().begin(),
                       [](const protocol::BusFrame& a, const protocol::BusFrame& b) {
                           return a.micros == b.micros && a.bytes == b.bytes && a.meaning == b.meaning;
                       }));
    delete opened;
    test::writeFile(bench_->path("notes.pcapng"), "not a capture");
    QVERIFY(!main_->trafficWindow()->openCapture(bench_->path("notes.pcapng")));
    QVERIFY(messages.seen.last().text.contains("was not opened: it is no pcapng file"));
}

QTEST_MAIN(tst_tools)
#include "tst_tools.moc"
