// The display control panel and the main window's layout: the bytes each control puts on the
// wire, what it changes in the window, the line-box key rule, tab order and fitting captions.

#include "forms/frmMain.h"
#include "forms/frmMainLayout.h"
#include "forms/kit/Frame.h"
#include "forms/kit/Style.h"
#include "forms/kit/Twips.h"
#include "support/Bench.h"
#include "support/Hex.h"
#include "support/Layout.h"
#include "support/Script.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <memory>

using namespace trivex;
using forms::frmMain;
using test::Bench;
using test::click;
using test::hex;
using test::toHex;
using test::type;

class tst_panel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::applyApplicationStyle(*qApp); }
    void init();
    void cleanup();

    void controlsPutTheirCommandOnTheWire_data();
    void controlsPutTheirCommandOnTheWire();
    void windowChangesHappenWithThePortClosed();
    void fullLineMovesTheFocusWithoutCarryingTheKey();
    void lineBoxesRefuseCharactersTheyCannotSend();
    void optionsActWhenChosenInAnyWay();
    void windowIsLaidOutAsDrawn();

private:
    frmMain& window() { return *window_; }
    std::unique_ptr<Bench> bench_;
    std::unique_ptr<frmMain> window_;
};

void tst_panel::init() {
    bench_ = std::make_unique<Bench>();
    QVERIFY(bench_->isValid());
    window_ = std::make_unique<frmMain>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void tst_panel::cleanup() {
    window_.reset();
    bench_.reset();
}

void tst_panel::controlsPutTheirCommandOnTheWire_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("list"); // name=text a list shows afterwards
    auto row = [](const char* name, const char* script, const char* bytes, const char* list = "") {
        QTest::newRow(name) << script << toHex(hex(bytes)) << list;
    };
    // Text and clearing.
    row("Send Text, both lines", "text txtLine1=AB; text txtLine2=CD; click cmdSendAscii",
        "0D 41 42 0C 43 44");
    row("Send Text, Latin-1 letter", "text txtLine2=\u00E9; click cmdSendAscii", "0D 0C E9");
    row("Send Text, both empty", "click cmdSendAscii", "");
    row("Clear Display", "click cmdClearLCD", "0D");
    // Cursor.
    row("Underline Cursor", "click optUC", "FE 01");
    row("Blinking Cursor", "click optBC", "FE 02");
    row("Hide Cursor", "click optHC", "FE 03");
    row("SET Cursor Position right after start", "click cmdSetCursor", "FE 32 00 00");
    row("SET Cursor Position row 1 column 15", "index cboRow=1; index cboColumn=15; click cmdSetCursor",
        "FE 32 01 0F");
    row("Clear Row 1", "index cboRow=1; click cmdClrRow", "FE 2D 01");
    row("Clear Column 0", "click cmdClrColumn", "FE 2E 00");
    row("typed row naming an entry", "text cboRow= 1; click cmdClrRow", "FE 2D 01", "cboRow=1");
    row("typed row naming no entry sends nothing", "text cboRow=7; click cmdClrRow", "", "cboRow=0");
    row("typed column naming no entry", "text cboColumn=x; click cmdSetCursor", "", "cboColumn=0");
    // Backlight.
    row("Backlight ON", "click optBLON", "FE 06");
    row("Backlight OFF", "click optBLOFF", "FE 07");
    row("Blink", "click optBlink", "FE 0B");
    // Graphs.
    row("Init Graph", "click cmdInitGraph", "FE 04");
    row("left to right, list as at start", "click cmdInitGraph; click cmdLtoR", "FE 04 FE 2B 01");
    row("right to left, length 80", "click cmdInitGraph; index cboGraph=80; click cmdRToL", "FE 04 FE 2C 50");
    row("graph length past the list", "click cmdInitGraph; text cboGraph=81; click cmdLtoR", "FE 04",
        "cboGraph=1");
    // Custom characters, default screen, output.
    row("CHAR 1", "click cmdChar(0)", "00");
    row("CHAR 8", "click cmdChar(7)", "07");
    row("Show Default Screen", "click cmdShowStartup", "FE 14");
    row("Turn On Output", "click cmdOnOutput", "FE 0C");
    row("Turn Off Output", "click cmdOffOutput", "FE 0D");
}

void tst_panel::controlsPutTheirCommandOnTheWire() {
    QFETCH(QString, script);
    QFETCH(QByteArray, expected);
    QFETCH(QString, list);
    test::act(&window(), script);
    // A trailing marker byte proves that nothing else came before it.
    window().session().link().SendCommand(hex("EA"));
    QTRY_VERIFY(bench_->peer.received().size() >=
                std::size_t(expected.count(' ') + (expected.isEmpty() ? 1 : 2)));
    QCOMPARE(toHex(bench_->peer.received()), expected.isEmpty() ? QByteArray("EA") : expected + " EA");
    if (!list.isEmpty()) {
        QCOMPARE(window().findChild<QComboBox*>(list.section('=', 0, 0))->currentText(),
                 list.section('=', 1));
    }
    QCOMPARE(window().cboRow->count(), 2);
    QCOMPARE(window().cboGraph->count(), 81);
}

// What changes the window alone, also with the port closed: the looks tint both lines and send
// nothing; the option groups are independent of each other; Clear Display empties both lines,
// Init Graph enables its draw buttons and disables the custom characters.
void tst_panel::windowChangesHappenWithThePortClosed() {
    frmMain& w = window();
    auto look = [](const QLineEdit* line) {
        return std::make_pair(line->palette().color(QPalette::Base), line->palette().color(QPalette::Text));
    };
    const auto blueWhite = std::make_pair(QColor(0, 0, 255), QColor(255, 255, 255));
    const auto green = std::make_pair(QColor(0, 255, 0), QApplication::palette().color(QPalette::Text));
    QVERIFY(w.optBlue->isChecked() && look(w.txtLine1) == blueWhite);
    for (QRadioButton* option : {w.optUC, w.optBC, w.optHC, w.optBLON, w.optBLOFF, w.optBlink}) {
        QVERIFY(!option->isChecked());
    }
    test::act(&w, "text txtLine1=ONE; text txtLine2=TWO; click cmdSendAscii; click optYG");
    QVERIFY(look(w.txtLine1) == green && look(w.txtLine2) == green);
    test::act(&w, "click optBLOFF; click optBC; click optBlue; click optUC");
    QVERIFY(look(w.txtLine1) == blueWhite && look(w.txtLine2) == blueWhite);
    QVERIFY(w.optBLOFF->isChecked() && w.optUC->isChecked() && !w.optBC->isChecked() &&
            w.optBlue->isChecked());
    QCOMPARE(w.txtLine1->text() + w.txtLine2->text(), QStringLiteral("ONETWO"));
    QTRY_COMPARE(toHex(bench_->peer.received()), toHex(hex("0D 4F 4E 45 0C 54 57 4F FE 07 FE 02 FE 01")));
    w.session().MSComm1().setPortOpen(false);
    click(w.cmdClearLCD);
    QVERIFY(w.txtLine1->text().isEmpty() && w.txtLine2->text().isEmpty());
    QVERIFY(!w.cmdLtoR->isEnabled() && !w.cmdRToL->isEnabled() && w.cmdChar[0]->isEnabled());
    click(w.cmdInitGraph);
    click(w.cmdInitGraph);
    QVERIFY(w.cmdLtoR->isEnabled() && w.cmdRToL->isEnabled() && !w.Frame7->isEnabled());
    for (QPushButton* character : w.cmdChar) {
        QVERIFY(!character->isEnabled());
    }
}

void tst_panel::fullLineMovesTheFocusWithoutCarryingTheKey() {
    frmMain& w = window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtLine1->setFocus();
    QTest::keyClicks(w.txtLine1, "ABCDEFGHIJKLMNOPQ");
    QCOMPARE(w.txtLine1->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));
    QVERIFY(w.txtLine2->hasFocus());
    QCOMPARE(w.txtLine2->text(), QString());
    // Arrow keys produce no character: they leave the focus where it is.
    QTest::keyClicks(w.txtLine2, QString(16, 'x'));
    QVERIFY(w.txtLine2->hasFocus());
    QTest::keyClick(w.txtLine2, Qt::Key_Left);
    QVERIFY(w.txtLine2->hasFocus());
    QTest::keyClick(w.txtLine2, 'y');
    QVERIFY(w.txtLine1->hasFocus());
    QCOMPARE(w.txtLine2->text(), QString(16, 'x'));
    // Backspace produces a character too: it moves the focus, and still acts on the full line.
    QTest::keyClick(w.txtLine1, Qt::Key_Backspace);
    QVERIFY(w.txtLine2->hasFocus());
    QCOMPARE(w.txtLine1->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
    // So does text an input method commits (a dead key or compose sequence).
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("\u00E9"));
    QApplication::sendEvent(w.txtLine2, &composed);
    QVERIFY(w.txtLine1->hasFocus());
    QCOMPARE(w.txtLine2->text(), QString(16, 'x'));
}

// Characters without a byte of their own, and the four whose byte is a frame marker (ê, î, ï, þ:
// EA, EE, EF, FE), are refused as they are typed, and the operator is told why.
void tst_panel::lineBoxesRefuseCharactersTheyCannotSend() {
    frmMain& w = window();
    type(w.txtLine1, QStringLiteral("A\u20AC\u00E9\u0100B"));
    QCOMPARE(w.txtLine1->text(), QStringLiteral("A\u00E9B"));
    QTRY_VERIFY(QToolTip::text().contains("no byte"));
    type(w.txtLine2, QStringLiteral("\u00EFd\u00FE0x\u00EA Fen\u00EAtre \u00EE"));
    QCOMPARE(w.txtLine2->text(), QStringLiteral("d0x Fentre "));
    QTRY_VERIFY(QToolTip::text().contains("frame marker"));
    click(w.cmdSendAscii);
    QTRY_VERIFY(bench_->peer.received().size() >= 16u);
    QCOMPARE(toHex(bench_->peer.received()), toHex(hex("0D 41 E9 42 0C") + "d0x Fentre "));
    type(w.txtLine1, QString(20, QLatin1Char('x')));
    QCOMPARE(w.txtLine1->text().size(), 16);
}

void tst_panel::optionsActWhenChosenInAnyWay() {
    frmMain& w = window();
    // An accessibility tool's toggle action, as screen readers and UI automation use it.
    QAccessibleInterface* option = QAccessible::queryAccessibleInterface(w.optBLON);
    QVERIFY(option && option->actionInterface());
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(w.optBLON->isChecked());
    // The arrow keys move the choice within the group.
    w.optBLON->setFocus();
    QTest::keyClick(w.optBLON, Qt::Key_Right);
    QVERIFY(w.optBLOFF->isChecked());
    // A click on the option already chosen sends again.
    click(w.optBLOFF);
    QTRY_VERIFY(bench_->peer.received().size() >= 6u);
    QCOMPARE(toHex(bench_->peer.received()), toHex(hex("FE 06 FE 07 FE 07")));
}

// The main window as its layout table draws it, with its menu bar above and status bar below.
void tst_panel::windowIsLaidOutAsDrawn() {
    frmMain& w = window();
    const QStringList problems = test::layoutProblems(&w, forms::frmMainLayout());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    const QSize client = forms::twipsSize(forms::kMainClientWidth, forms::kMainClientHeight);
    QCOMPARE(QSize(w.centralWidget()->width(), w.centralWidget()->height() + w.statusBar()->height()),
             client);
    QCOMPARE(w.statusBar()->geometry().top(), w.centralWidget()->geometry().bottom() + 1);
    // The menu stays in the window (a global menu bar would drop both entries), and the window
    // follows the height the menu bar takes.
    QVERIFY(!w.menuBar()->isNativeMenuBar());
    QFont large = w.menuBar()->font();
    large.setPixelSize(24);
    w.menuBar()->setFont(large);
    QTRY_COMPARE(w.height(), w.menuBar()->height() + client.height());
    QVERIFY((w.frameGeometry().center() - w.screen()->availableGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());
    QStringList menus;
    for (const QAction* menu : w.menuBar()->actions()) {
        menus << menu->text();
    }
    QCOMPARE(menus, QStringList({"Communication", "LCD Settings", "&Tools"})); // after the laid-out two
    // The line boxes belong to the window but lie inside the "TRIVEX" frame, drawn above it.
    QCOMPARE(w.txtLine1->parentWidget(), w.centralWidget());
    const QObjectList& stack = w.centralWidget()->children();
    QVERIFY(stack.indexOf(w.txtLine1) > stack.indexOf(w.Frame1));
}

QTEST_MAIN(tst_panel)
#include "tst_panel.moc"
