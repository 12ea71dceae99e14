// "Configure LCD": what it loads and stores, the two writes of each Set button on the pty,
// its messages, refusals that write nothing, and its layout.

#include "forms/frmLCD.h"
#include "forms/frmLCDLayout.h"
#include "forms/frmMain.h"
#include "forms/kit/Style.h"
#include "forms/kit/Twips.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/Layout.h"
#include "support/MessageWatcher.h"
#include "support/Rows.h"
#include "support/Script.h"

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
using test::click;
using test::hex;
using test::MessageWatcher;
using test::toHex;

namespace {

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
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();
    void badCellsAreMarkedAllAtOnce();
    void defaultScreenLinesArePaddedShownAndStored();
    void closingStoresWhatWasChanged();
    void rowLabelShowsTheBitmap();
    void layoutAndTypingLimits();

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
    QTest::addColumn<QString>("stored"); // key=value;... of section LCD
    QTest::addColumn<QString>("shown");  // UID|9600 chosen|line 1|cells 0, 2 and 63
    test::row("nothing stored", "", "|0||,,");
    test::row("9600 exactly", "UID=115;Baud=9600", "115|1||,,");
    test::row("speed with its unit", "Baud=9600 bps", "|0||,,");
    test::row("UID outside the list, as stored", "UID=abc", "abc|0||,,");
    test::row("long line kept whole", "Line1=LLLLLLLLLLLLLLLLLLLL", "|0|LLLLLLLLLLLLLLLLLLLL|,,");
    test::row("cells from Custom1 to Custom64", "Custom0=99;Custom1=1;Custom3=31;Custom64=0255",
              "|0||1,31,0255");
}

void tst_frmLCD::loadsWhatWasStored() {
    QFETCH(QString, stored);
    bench_ = std::make_unique<test::Bench>();
    for (const QString& pair : stored.split(';', Qt::SkipEmptyParts)) {
        bench_->set("LCD", pair.section('=', 0, 0), pair.section('=', 1));
    }
    frmLCD& w = open();
    QCOMPARE(w.cboUID->count(), 32);
    QCOMPARE(w.cboUID->itemText(0) + "-" + w.cboUID->itemText(31), QStringLiteral("101-132"));
    QCOMPARE(w.opt4800->isChecked(), !w.opt9600->isChecked());
    const QString cells =
        w.txtCustom[0]->text() + ',' + w.txtCustom[2]->text() + ',' + w.txtCustom[63]->text();
    QTEST(QStringList(
              {w.cboUID->currentText(), QString::number(w.opt9600->isChecked()), w.txtSU1->text(), cells})
              .join('|'),
          "shown");
}

void tst_frmLCD::setButtonsWriteTheirTwoWrites_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("cells"); // what every bitmap cell holds first
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const char* script, const char* bytes, const char* message,
                  const char* cells = "0") {
        QTest::newRow(name) << script << cells << toHex(hex(bytes)) << message;
    };
    row("UID from the list", "index cboUID=0; click cmdSetLCD", "EF 64 FE 30 65 EA", "UID Changed");
    row("UID typed outside the list", "text cboUID=200; click cmdSetLCD", "EF 64 FE 30 C8 EA", "UID Changed");
    row("typed UID 12 is not completed to 120", "text cboUID=12; click cmdSetLCD", "EF 64 FE 30 0C EA",
        "UID Changed");
    row("UID with blanks and zeros", "text cboUID= 007 ; click cmdSetLCD", "EF 64 FE 30 07 EA",
        "UID Changed");
    row("speed 9600", "click opt9600; click cmdSetBaud", "EF 64 FE 1E EA", "LCD Baud Rate Changed");
    row("speed 4800", "click opt4800; click cmdSetBaud", "EF 64 FE 1F EA", "LCD Baud Rate Changed");
    row("default screen", "text txtSU1=HELLO; click cmdStartupScreen",
        "EF 64 FE C8 48 45 4C 4C 4F 20*11 20*16 EA", "Startup Screen Changed");
    row("custom characters all 31", "click cmdCustom", "EF 64 FE 64 1F*64 EA", "Custom Characters Loaded",
        "31");
}

void tst_frmLCD::setButtonsWriteTheirTwoWrites() {
    QFETCH(QString, script);
    QFETCH(QString, cells);
    QFETCH(QByteArray, expected);
    QFETCH(QString, message);
    frmLCD& w = open();
    main_->setStatusText("kept");
    fillCells(w, cells);
    MessageWatcher messages;
    test::act(&w, script);
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].text, message);
    QCOMPARE(messages.seen[0].icon, QMessageBox::Information);
    QCOMPARE(messages.seen[0].title, QStringLiteral("varerezuva"));
    QCOMPARE(messages.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QTRY_VERIFY(bench_->peer.received().size() >= std::size_t(expected.count(' ') + 1));
    QCOMPARE(toHex(bench_->peer.received()), expected);
    // Nothing in the main window follows a configuration command.
    QCOMPARE(main_->statusText(), QStringLiteral("kept"));
    QVERIFY(!main_->session().link().Timer1.isActive());
}

void tst_frmLCD::refusalsWriteNothing_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message"); // how the warning begins
    QTest::addColumn<QString>("focus");   // the cell that has the focus afterwards
    QTest::addColumn<QString>("line2");   // the second line of the default screen afterwards
    for (const char* button : {"cmdSetLCD", "cmdSetBaud", "cmdStartupScreen", "cmdCustom"}) {
        QTest::newRow(button) << false << QStringLiteral("click %1").arg(button) << "Port Not Open"
                              << ""
                              << "";
    }
    for (const char* uid : {"", "abc", "256", "1.5", "<i>x"}) {
        QTest::newRow(qPrintable(QStringLiteral("UID \"%1\"").arg(uid)))
            << true << QStringLiteral("text cboUID=%1; click cmdSetLCD").arg(uid)
            << QStringLiteral("The UID \"%1\"").arg(uid) << ""
            << "";
    }
    test::row("empty cell", true, "text txtCustom(0)=; click cmdCustom", "CHAR 1, byte 1", "txtCustom(0)",
              "");
    test::row("letters", true, "text txtCustom(20)=ab; click cmdCustom", "CHAR 3, byte 5", "txtCustom(20)",
              "");
    test::row("too large", true, "text txtCustom(63)=300; click cmdCustom", "CHAR 8, byte 8", "txtCustom(63)",
              "");
    // Only a settings file can give a line these; sent, they would spill into commands.
    test::row("stored line longer than the display", true,
              "put txtSU2=abcdefghijklmnopq; click cmdStartupScreen", "Line 2 of the default screen", "",
              "abcdefghijklmnopq");
    test::row("stored line holding a frame marker", true, "put txtSU2=\u00FE0x; click cmdStartupScreen",
              "Line 2 of the default screen", "", "\u00FE0x");
}

void tst_frmLCD::refusalsWriteNothing() {
    QFETCH(bool, portOpen);
    QFETCH(QString, script);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    frmLCD& w = open();
    w.txtSU1->setText("AB");
    fillCells(w, "1");
    main_->session().MSComm1().setPortOpen(portOpen);
    MessageWatcher messages;
    test::act(&w, script);
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(messages.seen[0].icon, QMessageBox::Warning);
    QCOMPARE(messages.seen[0].format, Qt::PlainText); // the operator's text is never markup
    QVERIFY2(messages.seen[0].text.startsWith(message), qPrintable(messages.seen[0].text));
    if (!portOpen) { // the device and why it is closed come with "Port Not Open"
        QVERIFY2(messages.seen[0].details.contains(bench_->peer.slavePath()),
                 qPrintable(messages.seen[0].details));
    }
    QCOMPARE(w.txtSU1->text(), QStringLiteral("AB"));
    QTEST(w.txtSU2->text(), "line2");
    if (!focus.isEmpty()) {
        QCOMPARE(w.focusWidget()->objectName(), focus);
    }
    QTest::qWait(20); // nothing may arrive
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmLCD::badCellsAreMarkedAllAtOnce() {
    frmLCD& w = open();
    fillCells(w, "1");
    for (int i : {3, 20, 63}) {
        w.txtCustom[static_cast<std::size_t>(i)]->setText("x");
    }
    auto marked = [&w] {
        QList<int> cells;
        for (int i = 0; i < 64; ++i) {
            if (w.txtCustom[static_cast<std::size_t>(i)]->palette().color(QPalette::Base) !=
                QApplication::palette().color(QPalette::Base)) {
                cells << i;
            }
        }
        return cells;
    };
    MessageWatcher messages;
    click(w.cmdCustom);
    QVERIFY2(messages.seen[0].text.startsWith("CHAR 1, byte 4") && messages.seen[0].text.contains("3 cells"),
             qPrintable(messages.seen[0].text));
    QCOMPARE(marked(), (QList<int>{3, 20, 63}));
    test::act(&w, "text txtCustom(20)=7"); // corrected: its mark goes
    QCOMPARE(marked(), (QList<int>{3, 63}));
    QTest::qWait(20);
    QCOMPARE(bench_->peer.received(), std::string());
}

void tst_frmLCD::defaultScreenLinesArePaddedShownAndStored() {
    frmLCD& w = open();
    w.txtSU1->setText("HELLO");
    w.txtSU2->setText(QString(16, 'B'));
    MessageWatcher messages;
    click(w.cmdStartupScreen);
    QCOMPARE(w.txtSU1->text(), QStringLiteral("HELLO           "));
    QCOMPARE(w.txtSU2->text(), QString(16, 'B'));
    QTRY_VERIFY(bench_->peer.received().size() >= 37u);
    const std::string first = bench_->peer.received();
    bench_->peer.clearReceived();
    click(w.cmdStartupScreen);
    QTRY_VERIFY(bench_->peer.received().size() >= 37u);
    QCOMPARE(toHex(bench_->peer.received()), toHex(first));
    QCOMPARE(w.txtSU1->text(), QStringLiteral("HELLO           "));
    w.close();
    QCOMPARE(bench_->get("LCD", "Line1"), QStringLiteral("HELLO           "));
    QCOMPARE(bench_->get("LCD", "Line2"), QString(16, 'B'));
}

// What the operator changed is stored, bitmap cells included; every key left alone keeps what
// the file holds by then (another copy wrote them meanwhile); an untouched cell is never written.
void tst_frmLCD::closingStoresWhatWasChanged() {
    bench_ = std::make_unique<test::Bench>();
    bench_->set("LCD", "Custom1", "7");
    bench_->set("LCD", "Baud", "4800");
    frmLCD& first = open();
    QPointer<frmLCD> guard(&first);
    test::act(&first, "text txtCustom(0)=99; text cboUID=abc");
    for (const char* key : {"Baud", "Line1", "Line2"}) {
        bench_->set("LCD", key, key == QLatin1String("Baud") ? "9600" : "OTHER COPY");
    }
    first.close();
    QTRY_VERIFY(!guard); // destroyed on close
    QCOMPARE(bench_->get("LCD", "UID"), QStringLiteral("abc"));
    QCOMPARE(bench_->get("LCD", "Baud") + ' ' + bench_->get("LCD", "Line1") + ' ' +
                 bench_->get("LCD", "Line2"),
             QStringLiteral("9600 OTHER COPY OTHER COPY"));
    QCOMPARE(bench_->get("LCD", "Custom1"), QStringLiteral("99"));
    QCOMPARE(test::readFile(bench_->iniPath()).count("Custom"), 1);
    main_->mnuConfig->trigger();
    QCOMPARE(main_->configWindow()->txtCustom[0]->text(), QStringLiteral("99"));
    QCOMPARE(main_->configWindow()->cboUID->currentText(), QStringLiteral("abc"));
    // Closing the main window closes this one too, and its settings are stored.
    main_->configWindow()->opt4800->click();
    main_->close();
    QCOMPARE(bench_->get("LCD", "Baud"), QStringLiteral("4800"));
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
    QCOMPARE(picture.count("bgcolor=\"#000000\""), 5 + 2 + 0 + 1 + 5 + 1 + 1 + 2); // the low five bits
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), w.rowLabels[2]->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w.rowLabels[2], &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), picture);
}

void tst_frmLCD::layoutAndTypingLimits() {
    frmLCD& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("Configure LCD"));
    QCOMPARE(w.size(), forms::twipsSize(forms::kConfigClientWidth, forms::kConfigClientHeight));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY((w.frameGeometry().center() - w.screen()->availableGeometry().center()).manhattanLength() <= 2);
    const QStringList problems = test::layoutProblems(&w, forms::frmLCDLayout());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QTest::keyClicks(w.txtCustom[0], "1234");
    QCOMPARE(w.txtCustom[0]->text(), QStringLiteral("123"));
    QTest::keyClicks(w.txtSU2, QString(17, 'x'));
    QCOMPARE(w.txtSU2->text(), QString(16, 'x'));
}

QTEST_MAIN(tst_frmLCD)
#include "tst_frmLCD.moc"
