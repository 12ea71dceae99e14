// The bytes of every frame, command and reply, checked against the worked sequences of the
// module's command set, written out here as hex independently of the encoders' constants.

#include "protocol/Configuration.h"
#include "protocol/Decoder.h"
#include "protocol/Display.h"
#include "protocol/Selection.h"
#include "protocol/Text.h"
#include "support/Hex.h"

#include <QTest>

using namespace trivex::protocol;
using trivex::test::hex;
using trivex::test::toHex;

class tst_protocol : public QObject {
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void writeTextFollowsTheLineBreakRule_data();
    void writeTextFollowsTheLineBreakRule();
    void replyRecognition_data();
    void replyRecognition();
    void configurationCommandsAreTwoWrites_data();
    void configurationCommandsAreTwoWrites();
    void displayTextBecomesOneBytePerCharacter_data();
    void displayTextBecomesOneBytePerCharacter();
    void numberRule_data();
    void numberRule();
    void trafficIsDecodedInWords_data();
    void trafficIsDecodedInWords();
};

// Each row: what an encoder gave, and the bytes the module's command set fixes for it.
void tst_protocol::commandBytes_data() {
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const Bytes& actual, const char* bytes) {
        QTest::newRow(name) << toHex(actual) << toHex(hex(bytes));
    };
    // Selection frames and the input query.
    row("start frame 100", startFrame(100), "EF 64");
    row("start frame 132", startFrame(132), "EF 84");
    row("stop frame", stopFrame(), "EA");
    row("input status query", inputStatusQuery(), "FE 0E");
    // Display commands: parameters are the numbers themselves, not their digits, and the
    // prefixed codes that equal the control codes are other commands. (Every command the panel
    // sends is also checked from its control to the wire.)
    row("clear display", clearDisplay(), "0D");
    row("output on is not the line break", outputOn(), "FE 0C");
    row("output off is not clear display", outputOff(), "FE 0D");
    row("cursor row 1 column 15, row first", setCursorPosition(1, 15), "FE 32 01 0F");
    row("cursor past the display, unchecked", setCursorPosition(7, 200), "FE 32 07 C8");
    row("clear column 0 is byte 00", clearColumn(0), "FE 2E 00");
    row("graph left to right 80", graphLeftToRight(80), "FE 2B 50");
    row("graph left to right 0", graphLeftToRight(0), "FE 2B 00");
    row("CHAR 1", customCharacter(1), "00");
    row("CHAR 8", customCharacter(8), "07");
}

void tst_protocol::commandBytes() {
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual, expected);
}

void tst_protocol::writeTextFollowsTheLineBreakRule_data() {
    QTest::addColumn<QByteArray>("line1");
    QTest::addColumn<QByteArray>("line2");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const std::string& l1, const std::string& l2, const char* bytes) {
        QTest::newRow(name) << QByteArray::fromStdString(l1) << QByteArray::fromStdString(l2)
                            << toHex(hex(bytes));
    };
    row("both empty sends nothing", "", "", "");
    row("line 1 only, no break", "HELLO", "", "0D 48 45 4C 4C 4F");
    row("empty line 1 still breaks", "", "AB", "0D 0C 41 42");
    row("two short lines", "AB", "CD", "0D 41 42 0C 43 44");
    row("full line 1 runs on without break", std::string(16, 'A'), "B", "0D 41*16 42");
    row("15 then 16 is the longest message", std::string(15, 'A'), std::string(16, 'B'), "0D 41*15 0C 42*16");
    row("two full lines", std::string(16, 'A'), std::string(16, 'B'), "0D 41*16 42*16");
    row("spaces are sent as typed", " A ", "", "0D 20 41 20");
    row("marker bytes in text are not escaped", "\x0C\x0D\xFE", "\xEF\xEA", "0D 0C 0D FE 0C EF EA");
}

void tst_protocol::writeTextFollowsTheLineBreakRule() {
    QFETCH(QByteArray, line1);
    QFETCH(QByteArray, line2);
    QFETCH(QByteArray, expected);
    const Bytes bytes = writeText(line1.toStdString(), line2.toStdString());
    QCOMPARE(toHex(bytes), expected);
    QVERIFY(bytes.size() <= 33);
}

void tst_protocol::replyRecognition_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<int>("status"); // -1: no status byte taken
    auto row = [](const char* name, const char* block, int address, int threshold, bool ack, int status) {
        QTest::newRow(name) << QByteArray::fromStdString(hex(block)) << address << threshold << ack << status;
    };
    row("acknowledge of the selected module", "EE 65", 101, 2, true, -1);
    row("acknowledge of another module", "EE 64", 101, 2, false, -1);
    row("bytes swapped", "65 EE", 101, 2, false, -1);
    row("stray byte in front", "00 EE 65", 101, 2, false, -1);
    row("further bytes are dropped", "EE 65 08 77", 101, 2, true, -1);
    row("shorter than the threshold", "EE", 101, 2, false, -1);
    row("empty block", "", 101, 2, false, -1);
    row("input HIGH", "EE 65 08", 101, 3, true, 0x08);
    row("input LOW", "EE 65 00", 101, 3, true, 0x00);
    row("input with a meaningless status", "EE 65 01", 101, 3, true, 0x01);
    row("status taken even without acknowledge", "11 22 33", 101, 3, false, 0x33);
    row("two bytes while three are awaited", "EE 65", 101, 3, false, -1);
    row("address 0 before any selection", "EE 00", 0, 2, true, -1);
}

void tst_protocol::replyRecognition() {
    QFETCH(QByteArray, block);
    QFETCH(int, address);
    QFETCH(int, threshold);
    QFETCH(bool, acknowledged);
    QFETCH(int, status);
    const Reply reply = recogniseReply(block.toStdString(), static_cast<std::uint8_t>(address), threshold);
    QCOMPARE(reply.acknowledged, acknowledged);
    QCOMPARE(reply.status.has_value() ? int(*reply.status) : -1, status);
}

void tst_protocol::configurationCommandsAreTwoWrites_data() {
    QTest::addColumn<QByteArray>("write1");
    QTest::addColumn<QByteArray>("write2");
    QTest::addColumn<QByteArray>("expected");
    auto row = [](const char* name, const ConfigurationCommand& command, const char* bytes) {
        QTest::newRow(name) << toHex(command.write1) << toHex(command.write2) << toHex(hex(bytes));
    };
    CustomBitmaps ordered{};
    ordered[0] = 0xFF;
    ordered[1] = 0xEA;
    ordered[63] = 0x01;
    row("UID 132", setUid(132), "FE 30 84 EA");
    row("UID 234 is not escaped", setUid(234), "FE 30 EA EA");
    row("speed 4800", setLineSpeed(LineSpeed::Baud4800), "FE 1F EA");
    row("default screen pads both lines", setDefaultScreen("HELLO", ""),
        "FE C8 48 45 4C 4C 4F 20*11 20*16 EA");
    row("default screen two empty lines", setDefaultScreen("", ""), "FE C8 20*32 EA");
    row("default screen, full lines", setDefaultScreen(std::string(16, 'A'), std::string(16, 'B')),
        "FE C8 41*16 42*16 EA");
    row("default screen never cuts", setDefaultScreen(std::string(17, 'A'), "B"), "FE C8 41*17 42 20*15 EA");
    row("custom characters all zero", loadCustomCharacters({}), "FE 64 00*64 EA");
    row("custom characters in index order", loadCustomCharacters(ordered), "FE 64 FF EA 00*61 01 EA");
}

void tst_protocol::configurationCommandsAreTwoWrites() {
    QFETCH(QByteArray, write1);
    QFETCH(QByteArray, write2);
    QCOMPARE(write1, toHex(hex("EF 64")));
    QTEST(write2, "expected");
}

void tst_protocol::displayTextBecomesOneBytePerCharacter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("plain ASCII") << QStringLiteral("Hi 1") << toHex(hex("48 69 20 31")) << true;
    QTest::newRow("Latin-1 letters are their own byte")
        << QStringLiteral("\u00E9\u00FF\u00C4") << toHex(hex("E9 FF C4")) << true;
    QTest::newRow("control and marker codes pass")
        << QStringLiteral("\u000C\u00EF") << toHex(hex("0C EF")) << true;
    QTest::newRow("euro sign has no byte") << QStringLiteral("5\u20AC") << toHex(hex("35 3F")) << false;
    QTest::newRow("first code point past Latin-1") << QStringLiteral("\u0100") << toHex(hex("3F")) << false;
    QTest::newRow("a character outside the BMP is one byte") << QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                                                  "b")
                                                             << toHex(hex("61 3F 62")) << false;
}

void tst_protocol::displayTextBecomesOneBytePerCharacter() {
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QFETCH(bool, sendable);
    const std::u32string characters = text.toStdU32String();
    QCOMPARE(toHex(displayBytes(characters)), expected);
    bool allSendable = true;
    for (char32_t c : characters) {
        allSendable = allSendable && isSendable(c);
    }
    QCOMPARE(allSendable, sendable);
}

void tst_protocol::numberRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: refused
    QTest::newRow("plain") << "101" << 101;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("largest") << "255" << 255;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("many leading zeros") << "0000000000000255" << 255;
    QTest::newRow("blanks around") << "  12 " << 12;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("far too large") << "99999999999999999999" << -1;
    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("digits then letters") << "12a" << -1;
    QTest::newRow("minus") << "-1" << -1;
    QTest::newRow("fraction") << "1.5" << -1;
    QTest::newRow("whole number with a point") << "2.0" << -1;
}

void tst_protocol::numberRule() {
    QFETCH(QString, text);
    QFETCH(int, value);
    const auto parsed = parseByte(text.toStdString());
    QCOMPARE(parsed ? int(*parsed) : -1, value);
}

// Every frame, command and reply in words, as the traffic monitor shows them; "<" marks bytes
// read from the bus, "<<" while an input status reply is awaited.
void tst_protocol::trafficIsDecodedInWords_data() {
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("meaning");
    auto row = [](const char* bytes, const char* meaning) { QTest::newRow(bytes) << bytes << meaning; };
    row("EF 65", "start frame, address 101");
    row("EF 64", "start frame, address 100 (configuration)");
    row("EA", "stop frame");
    row("FE 0E", "input status query");
    row("0D 48 49", "clear display, text \"HI\"");
    row("0D 41 0C E9 22", "clear display, text \"A\", line break, text \"\u00E9\\x22\"");
    row("00 07", "custom character 1, custom character 8");
    row("FE 01 FE 02 FE 03", "underline cursor, blinking cursor, hide cursor");
    row("FE 04 FE 2B 50 FE 2C 00", "init graph, left-to-right graph, length 80, right-to-left graph, length 0");
    row("FE 06 FE 07 FE 0B", "backlight on, backlight off, backlight blink");
    row("FE 0C FE 0D FE 14", "output on, output off, show default screen");
    row("FE 32 01 0F", "cursor to row 1, column 15");
    row("FE 2D 01 FE 2E 0F", "clear row 1, clear column 15");
    row("FE 30 65 EA", "set UID 101, stop frame");
    row("FE 1E FE 1F", "line speed 9600 bit/s, line speed 4800 bit/s");
    row("FE C8 48 49 20*14 20*16", "set default screen \"HI              \" \"                \"");
    row("FE 64 00*64 EA", "load custom characters, 64 bytes, stop frame");
    row("FE 99 41", "unknown command FE 99, text \"A\"");
    row("FE 32 01", "cursor position, cut short: 1 of 2 parameter bytes");
    row("EF", "start frame without its address");
    row("< EE 65", "acknowledge from 101");
    row("<< EE 65 08", "acknowledge from 101, input status: HIGH");
    row("<< EE 65 00", "acknowledge from 101, input status: LOW");
    row("<< EE 65 04", "acknowledge from 101, input status byte 04, no meaning");
    row("< EE 65 08", "acknowledge from 101, bytes that are no reply");
    row("< 00 EE 65", "bytes that are no reply, acknowledge from 101");
    row("< EE", "acknowledge without its address");
}

void tst_protocol::trafficIsDecodedInWords() {
    QFETCH(QString, bytes);
    const int arrows = static_cast<int>(bytes.count('<'));
    const Bytes block = hex(qPrintable(bytes.mid(arrows).trimmed()));
    QTEST(QString::fromStdString(describe(block, arrows ? Direction::FromBus : Direction::ToBus, arrows == 2 ? 3 : 2)),
          "meaning");
    QCOMPARE(QString::fromStdString(hexText(block)), QString::fromLatin1(toHex(block)));
}

QTEST_APPLESS_MAIN(tst_protocol)
#include "tst_protocol.moc"
