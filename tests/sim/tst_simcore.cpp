// The virtual module's core against literal byte sequences, as a module on the bus hears them.

#include "sim/core/Bus.h"
#include "sim/core/StateFile.h"
#include "support/Hex.h"

#include <QTest>

using namespace trivex::sim;
using trivex::test::hex;
using trivex::test::toHex;

namespace {

std::string line(const Bus& bus, int row, int module = 0) {
    return bus.modules()[static_cast<std::size_t>(module)].display.lineText(row);
}

std::string replies(const FeedResult& result) {
    std::string bytes;
    for (const Reply& reply : result.replies) {
        bytes += reply.bytes;
    }
    return bytes;
}

std::string padded(const std::string& text) {
    return text + std::string(16 - text.size(), ' ');
}

} // namespace

class tst_simcore : public QObject {
    Q_OBJECT

private slots:
    void bytesOnTheBus_data();
    void bytesOnTheBus();
    void commandsChangeTheDisplay();
    void customCharactersAndBarGraphs();
    void configurationReprogramsEveryListeningModule();
    void lineSpeedDecidesWhatIsUnderstood();
    void commandsSplitOverReadsAreTakenUp();
    void bytesWithoutSenseAreLoggedAndSkipped();
    void severalModulesOnOneBus();
    void stateFileRoundTrip();
};

void tst_simcore::bytesOnTheBus_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("answerStop");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("lines"); // the display's two lines, blanks at their ends left out
    auto row = [](const char* name, const char* bytes, const char* answers, bool selected, const char* lines,
                  bool answerStop = false) {
        QTest::newRow(name) << QByteArray::fromStdString(hex(bytes)) << answerStop << toHex(hex(answers))
                            << selected << QString::fromUtf8(lines);
    };
    row("start frame for another address", "EF 66", "", false, "|");
    row("another address deselects", "EF 65 EF 66", "EE 65", false, "|");
    row("stop frame releases, unanswered", "EF 65 EA", "EE 65", false, "|");
    row("stop frame answered when asked to", "EF 65 EA", "EE 65 EE 65", false, "|", true);
    row("input query unselected", "FE 0E", "", false, "|");
    row("configuration frame is not answered", "EF 64", "", false, "|");
    row("full line 1 runs on", "EF 65 0D 41*16 42", "EE 65", true, "AAAAAAAAAAAAAAAA|B");
    row("Latin-1 letter shown as itself", "EF 65 0D E9 41", "EE 65", true, "\u00E9A|");
    row("text without select is ignored", "EF 65 EA 0D 41", "EE 65", false, "|");
}

void tst_simcore::bytesOnTheBus() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, answerStop);
    Bus bus({ModuleSettings{}}, BusOptions{answerStop});
    const FeedResult result = bus.feed(bytes.toStdString(), 9600);
    QTEST(toHex(replies(result)), "replies");
    QTEST(bus.modules()[0].selected, "selected");
    QTEST(QString::fromStdString(line(bus, 0)).trimmed() + '|' +
              QString::fromStdString(line(bus, 1)).trimmed(),
          "lines");
}

void tst_simcore::commandsChangeTheDisplay() {
    Bus bus({ModuleSettings{}});
    const Lcd& display = bus.modules()[0].display;
    bus.feed(hex("EF 65 0D") + "ABCDEFGHIJKLMNOP" + "QRSTUVWXYZ012345", 9600);
    bus.feed(hex("FE 2D 00"), 9600); // clear row 0
    QCOMPARE(line(bus, 0), padded(""));
    bus.feed(hex("FE 2E 00 FE 2E 0F"), 9600); // clear columns 0 and 15
    QCOMPARE(line(bus, 1), " RSTUVWXYZ01234 ");
    bus.feed(hex("FE 32 01 0F"), 9600);
    QCOMPARE(display.cursorRow, 1);
    QCOMPARE(display.cursorColumn, 15);
    bus.feed(hex("FE 32 05 00 FE 2D 09"), 9600); // out of range: ignored
    QCOMPARE(display.cursorRow, 1);
    QCOMPARE(line(bus, 1), " RSTUVWXYZ01234 ");
    bus.feed(hex("FE 0C"), 9600);
    QVERIFY(bus.modules()[0].outputOn);
    bus.feed(hex("FE 0D"), 9600);
    QVERIFY(!bus.modules()[0].outputOn);
    bus.modules()[0].inputHigh = true;
    QCOMPARE(toHex(replies(bus.feed(hex("FE 0E"), 9600))), toHex(hex("EE 65 08")));
    bus.modules()[0].settings.defaultScreen.fill('x');
    bus.feed(hex("FE 14"), 9600);
    QCOMPARE(line(bus, 0), std::string(16, 'x'));
}

void tst_simcore::customCharactersAndBarGraphs() {
    Bus bus({ModuleSettings{}});
    std::string bitmaps;
    for (int i = 0; i < 64; ++i) {
        bitmaps += static_cast<char>(0xE0 | (i % 32)); // the high three bits are not pixels
    }
    bus.feed(hex("EF 64 FE 64") + bitmaps + hex("EA EF 65 0D 00 07"), 9600);
    const Lcd& display = bus.modules()[0].display;
    QCOMPARE(line(bus, 0), "\u2460\u2467" + std::string(14, ' '));
    QCOMPARE(int(display.glyphAt(0, 0)[0]), 0);
    QCOMPARE(int(display.glyphAt(0, 0)[7]), 7);
    QCOMPARE(int(display.glyphAt(0, 1)[0]), (56 % 32));
    // Bar graphs are drawn from bar patterns that replace the custom characters.
    bus.feed(hex("FE 04 FE 32 01 00 FE 2B 0C"), 9600); // 12 columns on row 1: two full cells and two columns
    QCOMPARE(line(bus, 1), "\u2588\u2588\u2461" + std::string(13, ' '));
    bus.feed(hex("FE 2C 03"), 9600);
    QCOMPARE(line(bus, 1), std::string(15, ' ') + "\u2466");
}

void tst_simcore::configurationReprogramsEveryListeningModule() {
    Bus bus({ModuleSettings{}});
    bus.feed(hex("EF 64 FE 30 66 EA"), 9600);
    QCOMPARE(int(bus.modules()[0].settings.address), 102);
    QCOMPARE(toHex(replies(bus.feed(hex("EF 65"), 9600))), QByteArray());
    QCOMPARE(toHex(replies(bus.feed(hex("EF 66"), 9600))), toHex(hex("EE 66")));
    bus.feed(hex("EA EF 64 FE C8") + "HELLO           " + std::string(16, ' ') + hex("EA"), 9600);
    bus.feed(hex("EF 66 FE 14"), 9600);
    QCOMPARE(line(bus, 0), padded("HELLO"));
    // A payload byte equal to a marker is data: the UID 0xEA is taken, and its EA ends the exchange.
    bus.feed(hex("EA EF 64 FE 30 EA EA"), 9600);
    QCOMPARE(int(bus.modules()[0].settings.address), 0xEA);
    QVERIFY(!bus.modules()[0].configuring);
}

void tst_simcore::lineSpeedDecidesWhatIsUnderstood() {
    Bus bus({ModuleSettings{}});
    bus.feed(hex("EF 64 FE 1F EA"), 9600);
    QCOMPARE(bus.modules()[0].settings.lineSpeed, 4800);
    FeedResult atOldSpeed = bus.feed(hex("EF 65"), 9600);
    QVERIFY(atOldSpeed.replies.empty());
    QVERIFY(QString::fromStdString(atOldSpeed.log.at(0)).contains("not understood"));
    QCOMPARE(toHex(replies(bus.feed(hex("EF 65"), 4800))), toHex(hex("EE 65")));
    QCOMPARE(bus.feed(hex("EF 65"), 4800).replies.at(0).lineSpeed, 4800);
}

void tst_simcore::commandsSplitOverReadsAreTakenUp() {
    Bus bus({ModuleSettings{}});
    bus.feed(hex("EF"), 9600);
    QCOMPARE(toHex(replies(bus.feed(hex("65 FE 32"), 9600))), toHex(hex("EE 65")));
    bus.feed(hex("01"), 9600);
    bus.feed(hex("07 41"), 9600);
    QCOMPARE(line(bus, 1), "       A        ");
}

void tst_simcore::bytesWithoutSenseAreLoggedAndSkipped() {
    Bus bus({ModuleSettings{}});
    QVERIFY(bus.feed(hex("41 42 EA FE 0E"), 9600).replies.empty());
    const FeedResult result = bus.feed(hex("EF 65 FE 99 41"), 9600);
    QVERIFY(QString::fromStdString(result.log.at(1)).contains("unknown command"));
    QCOMPARE(line(bus, 0).substr(0, 1), "A");
}

void tst_simcore::severalModulesOnOneBus() {
    ModuleSettings second;
    second.address = 102;
    Bus bus({ModuleSettings{}, second});
    bus.feed(hex("EF 66 0D 42"), 9600);
    QCOMPARE(line(bus, 0, 1).substr(0, 1), "B");
    QVERIFY(!bus.modules()[0].selected && bus.modules()[1].selected);
    const FeedResult result = bus.feed(hex("EF 65 0D 41"), 9600);
    QCOMPARE(toHex(replies(result)), toHex(hex("EE 65")));
    QCOMPARE(line(bus, 0, 0).substr(0, 1), "A");
    QCOMPARE(line(bus, 0, 1).substr(0, 1), "B");
    bus.feed(hex("EA EF 64 FE 1F EA"), 9600); // both modules take configuration commands
    QCOMPARE(bus.modules()[0].settings.lineSpeed, 4800);
    QCOMPARE(bus.modules()[1].settings.lineSpeed, 4800);
    // A module renumbered to the configuration address answers its start frame and takes
    // display commands; the others only listen for configuration.
    // Two modules at one address answer one frame at once; on the line their answers collide.
    const FeedResult both = Bus({ModuleSettings{}, ModuleSettings{}}).feed(hex("EF 65"), 9600);
    QCOMPARE(both.replies.size(), std::size_t(2));
    QCOMPARE(both.replies[0].frame, both.replies[1].frame);
    QCOMPARE(toHex(collide({hex("EE 65")})), toHex(hex("EE 65")));
    // The second starts three bit times later; where either drives a 0 the line is 0. Worked out
    // bit by bit (start bit, eight data bits from the lowest, stop bit), a UART reads 62 21 FF.
    QCOMPARE(toHex(collide({hex("EE 65"), hex("EE 65")})), toHex(hex("62 21 FF")));
    bus.modules()[1].settings.address = 100;
    QCOMPARE(toHex(replies(bus.feed(hex("EF 64 0D 41 FE 06"), 4800))), toHex(hex("EE 64")));
    QCOMPARE(line(bus, 0, 1).substr(0, 1), "A");
    QVERIFY(!bus.modules()[0].selected && bus.modules()[1].selected);
}

void tst_simcore::stateFileRoundTrip() {
    ModuleSettings settings;
    settings.address = 0xEA;
    settings.lineSpeed = 4800;
    settings.defaultScreen.fill('z');
    settings.bitmaps[63] = 0x1F;
    const auto parsed = parseState(formatState({settings, ModuleSettings{}}));
    QVERIFY(parsed && parsed->size() == 2);
    QCOMPARE(int((*parsed)[0].address), 0xEA);
    QCOMPARE((*parsed)[0].lineSpeed, 4800);
    QVERIFY((*parsed)[0].defaultScreen == settings.defaultScreen);
    QVERIFY((*parsed)[0].bitmaps == settings.bitmaps);
    QVERIFY(!parseState("module address=300 speed=9600 screen=00 bitmaps=00\n"));
    QVERIFY(!parseState("garbage\n"));
    QVERIFY(!parseState("module address=101\n"));
    const std::string line = formatState({ModuleSettings{}});
    QVERIFY(!parseState(line.substr(0, line.size() - 1) + " address=102\n")); // a key twice
    QVERIFY(!parseState(std::string(line).replace(line.find("9600"), 4, "2400")));
}

QTEST_APPLESS_MAIN(tst_simcore)
#include "tst_simcore.moc"
