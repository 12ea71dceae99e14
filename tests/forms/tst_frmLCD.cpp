// "Configure LCD": what it loads and stores, the two writes of each Set button on the pty,
// its messages, refusals that write nothing, and its layout.

#include "forms/Style.h"
#include "forms/frmLCD.h"
#include "forms/frmMain.h"
#include "support/Bench.h"
#include "support/CaptionFit.h"
#include "support/Hex.h"
#include "support/MessageWatcher.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <memory>

using namespace trivex;
using forms::frmLCD;
using forms::frmMain;
using test::hex;
using test::MessageWatcher;
using test::toHex;

using Setup = std::function<void(frmLCD&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void fillCells(frmLCD& w, const QString& value) {
    for (QLineEdit* cell : w.txtCustom) {
        cell->setText(value);
    }
}

} // namespace

class tst_frmLCD : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void cleanup();

    void loadsWhatWasStored_data();
    void loadsWhatWasStored();
    void setButtonsWriteTheirTwoWrites_data();
    void setButtonsWriteTheirTwoWrites();
    void defaultScreenLinesArePaddedShownAndStored();
    void closingStoresFourKeysAndNeverTheCells();
    void closedPortWritesNothing_data();
    void closedPortWritesNothing();
    void badUidWritesNothing_data();
    void badUidWritesNothing();
    void badCellWritesNothingAndIsFocused_data();
    void badCellWritesNothingAndIsFocused();
    void rowLabelShowsTheBitmap();
    void layoutTypingLimitsAndCaptions();

private:
    frmLCD& open();
    std::unique_ptr<test::Bench> bench_;
    std::unique_ptr<frmMain> main_;
};

frmLCD& tst_frmLCD::open() {
    if (!bench_) {
        bench_ = std::make_unique<test::Bench>();
    }
    main_ = std::make_unique<frmMain>();
    main_->mnuConfig->trigger();
    frmLCD* window = main_->configWindow();
    Q_ASSERT(window);
    return *window;
}

void tst_frmLCD::cleanup() {
    main_.reset();
    bench_.reset();
}

void tst_frmLCD::loadsWhatWasStored_data() {
    QTest::addColumn<QStringList>("keys"); // key=value pairs of section LCD
    QTest::addColumn<QString>("uid");
    QTest::addColumn<bool>("baud9600");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QStringList>("cells"); // cells 0, 2, 63
    QTest::newRow("nothing stored") << QStringList() << "" << false << "" << QStringList{"", "", ""};
    QTest::newRow("9600 exactly") << QStringList{"UID=115", "Baud=9600"} << "115" << true << ""
                                  << QStringList{"", "", ""};
    QTest::newRow("4800") << QStringList{"Baud=4800"} << "" << false << "" << QStringList{"", "", ""};
    QTest::newRow("speed with its unit")
        << QStringList{"Baud=9600 bps"} << "" << false << "" << QStringList{"", "", ""};
    QTest::newRow("UID outside the list, as stored")
        << QStringList{"UID=abc"} << "abc" << false << "" << QStringList{"", "", ""};
    QTest::newRow("long line kept whole") << QStringList{"Line1=" + QString(20, 'L')} << "" << false
                                          << QString(20, 'L') << QStringList{"", "", ""};
    QTest::newRow("cells from Custom1 to Custom64")
        << QStringList{"Custom0=99", "Custom1=1", "Custom3=31", "Custom64=0255"} << "" << false << ""
        << QStringList{"1", "31", "0255"};
}

void tst_frmLCD::loadsWhatWasStored() {
    QFETCH(QStringList, keys);
    QFETCH(QStringList, cells);
    bench_ = std::make_unique<test::Bench>();
    for (const QString& pair : keys) {
        bench_->set("LCD", pair.section('=', 0, 0), pair.section('=', 1));
    }
    frmLCD& w = open();
    QCOMPARE(w.cboUID->count(), 32);
    QCOMPARE(w.cboUID->itemText(0), QStringLiteral("101"));
    QCOMPARE(w.cboUID->itemText(31), QStringLiteral("132"));
    QTEST(w.cboUID->currentText(), "uid");
    QTEST(w.opt9600->isChecked(), "baud9600");
    QCOMPARE(w.opt4800->isChecked(), !w.opt9600->isChecked());
    QTEST(w.txtSU1->text(), "line1");
    QCOMPARE(QStringList({w.txtCustom[0]->text(), w.txtCustom[2]->text(), w.txtCustom[63]->text()}), cells);
}

void tst_frmLCD::setButtonsWriteTheirTwoWrites_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, Setup setup, const char* button, const char* bytes, const char* message) {
        QTest::newRow(name) << setup << button << toHex(hex(bytes)) << message;
    };
    row(
        "UID from the list", [](frmLCD& w) { w.cboUID->setCurrentIndex(0); }, "cmdSetLCD",
        "EF 64 FE 30 65 EA", "UID Changed");
    row(
        "UID typed outside the list", [](frmLCD& w) { w.cboUID->setEditText("200"); }, "cmdSetLCD",
        "EF 64 FE 30 C8 EA", "UID Changed");
    row(
        "UID 100 is sent too", [](frmLCD& w) { w.cboUID->setEditText("100"); }, "cmdSetLCD",
        "EF 64 FE 30 64 EA", "UID Changed");
    row(
        "UID with blanks and zeros", [](frmLCD& w) { w.cboUID->setEditText(" 007 "); }, "cmdSetLCD",
        "EF 64 FE 30 07 EA", "UID Changed");
    row(
        "speed 9600", [](frmLCD& w) { w.opt9600->click(); }, "cmdSetBaud", "EF 64 FE 1E EA",
        "LCD Baud Rate Changed");
    row(
        "speed 4800", [](frmLCD& w) { w.opt4800->click(); }, "cmdSetBaud", "EF 64 FE 1F EA",
        "LCD Baud Rate Changed");
    row(
        "default screen", [](frmLCD& w) { w.txtSU1->setText("HELLO"); }, "cmdStartupScreen",
        "EF 64 FE C8 48 45 4C 4C 4F 20*11 20*16 EA", "Startup Screen Changed");
    row(
        "custom characters all 31", [](frmLCD& w) { fillCells(w, "31"); }, "cmdCustom",
        "EF 64 FE 64 1F*64 EA", "Custom Characters Loaded");
    row(
        "custom characters, markers unescaped",
        [](frmLCD& w) {
            fillCells(w, "0");
            w.txtCustom[0]->setText("255");
            w.txtCustom[1]->setText("234");
            w.txtCustom[63]->setText(" 12");
        },
        "cmdCustom", "EF 64 FE 64 FF EA 00*61 0C EA", "Custom Characters Loaded");
}

void tst_frmLCD::setButtonsWriteTheirTwoWrites() {
    QFETCH(Setup, setup);
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);
    QFETCH(QString, message);
    frmLCD& w = open();
    main_->setStatusText("kept");
    setup(w);
    MessageWatcher messages;
    click(w.controls().get<QPushButton>(button));
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].text, message);
    QCOMPARE(messages.seen[0].icon, QMessageBox::Information);
    QCOMPARE(messages.seen[0].title, QStringLiteral("varerezuva"));
    QCOMPARE(messages.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(bench_->peer.waitForBytes(std::size_t(expected.count(' ') + 1)));
    QCOMPARE(toHex(bench_->peer.received()), expected);
    // Nothing in the main window follows a configuration command.
    QCOMPARE(main_->statusText(), QStringLiteral("kept"));
    QCOMPARE(main_->cboAddr->currentText(), QStringLiteral("101"));
    QVERIFY(!main_->serialLink().Timer1.isActive());
}

void tst_frmLCD::defaultScreenLinesArePaddedShownAndStored() {
    frmLCD& w = open();
    w.txtSU1->setText("HELLO");
    w.txtSU2->setText(QString(16, 'B'));
    MessageWatcher messages;
    click(w.cmdStartupScreen);
    QCOMPARE(w.txtSU1->text(), QStringLiteral("HELLO           "));
    QCOMPARE(w.txtSU2->text(), QString(16, 'B'));
    QVERIFY(bench_->peer.waitForBytes(37));
    const std::string first = bench_->peer.received();
    bench_->peer.clearReceived();
    click(w.cmdStartupScreen);
    QVERIFY(bench_->peer.waitForBytes(37));
    QCOMPARE(toHex(bench_->peer.received()), toHex(first));
    QCOMPARE(w.txtSU1->text(), QStringLiteral("HELLO           "));
    w.close();
    QCOMPARE(bench_->get("LCD", "Line1"), QStringLiteral("HELLO           "));
    QCOMPARE(bench_->get("LCD", "Line2"), QString(16, 'B'));
}

void tst_frmLCD::closingStoresFourKeysAndNeverTheCells() {
    bench_ = std::make_unique<test::Bench>();
    bench_->set("LCD", "Custom1", "7");
    frmLCD& first = open();
    QPointer<frmLCD> guard(&first);
    first.txtCustom[0]->setText("99");
    first.cboUID->setEditText("abc");
    first.close();
    QTRY_VERIFY(!guard); // destroyed on close
    QCOMPARE(bench_->get("LCD", "UID"), QStringLiteral("abc"));
    QCOMPARE(bench_->get("LCD", "Baud"), QStringLiteral("4800"));
    QCOMPARE(bench_->get("LCD", "Line1"), QString());
    QCOMPARE(bench_->get("LCD", "Custom1"), QStringLiteral("7"));
    QFile file(bench_->iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("Custom"), 1);
    main_->mnuConfig->trigger();
    QCOMPARE(main_->configWindow()->txtCustom[0]->text(), QStringLiteral("7"));
    QCOMPARE(main_->configWindow()->cboUID->currentText(), QStringLiteral("abc"));
    // Closing the main window closes this one too, and its settings are stored.
    main_->configWindow()->opt9600->click();
    main_->close();
    QCOMPARE(bench_->get("LCD", "Baud"), QStringLiteral("9600"));
}

void tst_frmLCD::closedPortWritesNothing_data() {
    QTest::addColumn<QString>("button");
    for (const char* button : {"cmdSetLCD", "cmdSetBaud", "cmdStartupScreen", "cmdCustom"}) {
        QTest::newRow(button) << button;
    }
}

void tst_frmLCD::closedPortWritesNothing() {
    QFETCH(QString, button);
    frmLCD& w = open();
    w.cboUID->setCurrentIndex(0);
    w.txtSU1->setText("AB");
    fillCells(w, "1");
    main_->MSComm1().setPortOpen(false);
    MessageWatcher messages;
    click(w.controls().get<QPushButton>(button));
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].text, QStringLiteral("Port Not Open"));
    QCOMPARE(messages.seen[0].icon, QMessageBox::Warning);
    QCOMPARE(w.txtSU1->text(), QStringLiteral("AB"));
    QTest::qWait(20); // nothing may arrive
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmLCD::badUidWritesNothing_data() {
    QTest::addColumn<QString>("uid");
    for (const char* uid : {"", "abc", "256", "1.5", "-3", "12a"}) {
        QTest::newRow(uid[0] ? uid : "empty") << uid;
    }
}

void tst_frmLCD::badUidWritesNothing() {
    QFETCH(QString, uid);
    frmLCD& w = open();
    w.cboUID->setEditText(uid);
    MessageWatcher messages;
    click(w.cmdSetLCD);
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].icon, QMessageBox::Warning);
    QVERIFY2(messages.seen[0].text.contains('"' + uid + '"') && messages.seen[0].text.contains("0 to 255"),
             qPrintable(messages.seen[0].text));
    QTest::qWait(20);
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmLCD::badCellWritesNothingAndIsFocused_data() {
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("empty cell") << 0 << ""
                                << "CHAR 1, byte 1";
    QTest::newRow("letters") << 20 << "ab"
                             << "CHAR 3, byte 5";
    QTest::newRow("too large") << 63 << "300"
                               << "CHAR 8, byte 8";
    QTest::newRow("fraction") << 9 << "1.5"
                              << "CHAR 2, byte 2";
}

void tst_frmLCD::badCellWritesNothingAndIsFocused() {
    QFETCH(int, cell);
    QFETCH(QString, text);
    QFETCH(QString, named);
    frmLCD& w = open();
    fillCells(w, "1");
    w.txtCustom[static_cast<std::size_t>(cell)]->setText(text);
    MessageWatcher messages;
    click(w.cmdCustom);
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].icon, QMessageBox::Warning);
    QVERIFY2(messages.seen[0].text.startsWith(named), qPrintable(messages.seen[0].text));
    QCOMPARE(w.focusWidget(), w.txtCustom[static_cast<std::size_t>(cell)]);
    QTest::qWait(20);
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmLCD::rowLabelShowsTheBitmap() {
    frmLCD& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int rows[] = {31, 17, 0, 4, 255, 16, 1, 10};
    for (int r = 0; r < 8; ++r) {
        w.txtCustom[static_cast<std::size_t>(16 + r)]->setText(QString::number(rows[r]));
    }
    const QString picture = w.bitmapPicture(3);
    QCOMPARE(picture.count("<tr>"), 8);
    QCOMPARE(picture.count("bgcolor=\"#000000\""), 5 + 2 + 0 + 1 + 5 + 1 + 1 + 2);
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), w.rowLabels[2]->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w.rowLabels[2], &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), picture);
}

void tst_frmLCD::layoutTypingLimitsAndCaptions() {
    frmLCD& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Configure LCD"));
    QCOMPARE(w.size(), QSize(507, 356));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.testAttribute(Qt::WA_DeleteOnClose));
    const QStringList problems = test::overflowingCaptions(&w);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(w.txtSU1->palette().color(QPalette::Base), QColor(0, 255, 0));
    QVERIFY(w.txtSU1->font().bold());
    QCOMPARE(w.txtCustom[5]->alignment(), Qt::AlignCenter);
    // The grid keeps its rule: eight cells a row, 600 twips across and 360 down.
    QCOMPARE(w.txtCustom[7]->x() - w.txtCustom[0]->x(), 7 * 40);
    QCOMPARE(w.txtCustom[56]->y() - w.txtCustom[0]->y(), 7 * 24);
    QCOMPARE(w.txtCustom[8]->y(), w.rowLabels[1]->y());
    QTest::keyClicks(w.txtCustom[0], "1234");
    QCOMPARE(w.txtCustom[0]->text(), QStringLiteral("123"));
    QTest::keyClicks(w.txtSU2, QString(17, 'x'));
    QCOMPARE(w.txtSU2->text(), QString(16, 'x'));
    w.opt9600->click();
    QVERIFY(!w.opt4800->isChecked());
    w.opt4800->click();
    QVERIFY(!w.opt9600->isChecked());
    // Tab: the grid row by row after the second line, then the four buttons.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtSU2->setFocus();
    QStringList visited;
    for (int i = 0; i < 70; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QStringList expected;
    for (int i = 0; i < 64; ++i) {
        expected << QStringLiteral("txtCustom(%1)").arg(i);
    }
    expected << "cmdSetLCD"
             << "cmdSetBaud"
             << "cmdStartupScreen"
             << "cmdCustom";
    QCOMPARE(visited.mid(0, 68), expected);
}

QTEST_MAIN(tst_frmLCD)
#include "tst_frmLCD.moc"
