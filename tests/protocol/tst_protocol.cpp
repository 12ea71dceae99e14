// The rules of the byte protocol (the line break of a text message, reply recognition, the two
// writes of a configuration command, the number rule, the decoder, a bus heard from the side and its
// capture file, the Telnet stream), checked against
// sequences written out here as hex independently of the encoders' constants. Each command's bytes are
// checked where a control puts it on the wire (tst_panel, tst_frmMain, tst_frmLCD).

#include "protocol/BusReader.h"
#include "protocol/Capture.h"
#include "protocol/Configuration.h"
#include "protocol/Decoder.h"
#include "protocol/Display.h"
#include "protocol/Selection.h"
#include "protocol/Telnet.h"
#include "protocol/Text.h"
#include "support/Hex.h"

#include <QTest>

using namespace trivex::protocol;
using trivex::test::hex;
using trivex::test::toHex;

class tst_protocol : public QObject {
    Q_OBJECT

private slots:
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
    void telnetStreamIsReadWhateverItsBlocks();
    void busHeardFromTheSideIsToldApartAndMarked_data();
    void busHeardFromTheSideIsToldApartAndMarked();
    void captureFilesKeepEveryPacketOrAreRefused();
};

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
    row("bytes swapped", "65 EE", 101, 2, false, -1);
    row("further bytes are dropped", "EE 65 08 77", 101, 2, true, -1);
    row("shorter than the threshold", "EE", 101, 2, false, -1);
    row("empty block", "", 101, 2, false, -1);
    row("status taken even without acknowledge", "11 22 33", 101, 3, false, 0x33);
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
    row("UID 234 is not escaped", setUid(234), "FE 30 EA EA");
    row("default screen two empty lines", setDefaultScreen("", ""), "FE C8 20*32 EA");
    row("default screen, full lines", setDefaultScreen(std::string(16, 'A'), std::string(16, 'B')),
        "FE C8 41*16 42*16 EA");
    row("default screen never cuts", setDefaultScreen(std::string(17, 'A'), "B"), "FE C8 41*17 42 20*15 EA");
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
    QTest::newRow("blanks around") << "  12 " << 12;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("minus") << "-1" << -1;
    QTest::newRow("fraction") << "1.5" << -1;
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
    row("FE 04 FE 2B 50 FE 2C 00",
        "init graph, left-to-right graph, length 80, right-to-left graph, length 0");
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
    QTEST(QString::fromStdString(
              describe(block, arrows ? Direction::FromBus : Direction::ToBus, arrows == 2 ? 3 : 2)),
          "meaning");
    QCOMPARE(QString::fromStdString(hexText(block)), QString::fromLatin1(toHex(block)));
}

// Data with a doubled 0xFF, a command, a COM-PORT-OPTION answer holding 0xFF and a
// subnegotiation that a peer never bounds, read whole and one byte a block alike.
void tst_protocol::telnetStreamIsReadWhateverItsBlocks() {
    const Bytes endless = hex("FF FA 2C 65") + Bytes(100000, 'x') + hex("FF F0");
    const Bytes stream = hex("41 FF FF 42 FF FB 2C FF FA 2C 65 00 00 FF FF FF F0 43") + endless + hex("44");
    for (const std::size_t blockSize : {stream.size(), std::size_t{1}}) {
        telnet::Reader reader;
        std::vector<telnet::Event> events;
        Bytes data;
        for (std::size_t at = 0; at < stream.size(); at += blockSize) {
            data += reader.feed(stream.substr(at, blockSize), events);
        }
        QCOMPARE(toHex(data), QByteArray("41 FF 42 43 44"));
        QCOMPARE(events.size(), std::size_t{3});
        QVERIFY(!events[0].subnegotiation && events[0].verb == 0xFB && events[0].option == 44);
        QVERIFY(events[1].subnegotiation && events[1].option == 44);
        QCOMPARE(toHex(events[1].payload), QByteArray("65 00 00 FF"));
        QVERIFY(events[2].payload.size() < telnet::Reader::kMaxSubnegotiation);
    }
}

// Bytes heard on a bus as "ms:hex" blocks, read into frames: "c" the controller's, "m" a
// module's, each at its ms, with its flags. Fed as the blocks came and again a byte a read: the
// frames are the same.
void tst_protocol::busHeardFromTheSideIsToldApartAndMarked_data() {
    QTest::addColumn<QString>("heard");
    QTest::addColumn<int>("endMs");
    QTest::addColumn<QString>("frames");
    auto row = [](const char* name, const char* heard, int endMs, const char* frames) {
        QTest::newRow(name) << heard << endMs << frames;
    };
    row("select, command, text, input, release",
        "0:EF 65; 3:EE 65; 5:FE 06; 6:48 49; 40:FE 0E; 43:EE 65 08; 50:EA", 60,
        "c0 EF 65 | m3 EE 65 | c5 FE 06 | c6 48 49 | c40 FE 0E | m43 EE 65 08 | c50 EA");
    row("no acknowledge within the window", "0:EF 70; 200:EF 65; 202:EE 65", 210,
        "c0 EF 70 [no acknowledge within the reply window] | c200 EF 65 | m202 EE 65");
    row("unanswered start frame at the end", "0:EF 70", 400,
        "c0 EF 70 [no acknowledge within the reply window]");
    row("window open at the end", "0:EF 70", 100, "c0 EF 70");
    row("unanswered input query", "0:EF 65; 2:EE 65; 10:FE 0E; 300:EA", 310,
        "c0 EF 65 | m2 EE 65 | c10 FE 0E [no acknowledge within the reply window] | c300 EA");
    row("two modules at once", "0:EF 66; 3:C9 77", 200,
        "c0 EF 66 | m3 C9 77 [garbled acknowledge: two modules answered at once]");
    row("another address answers", "0:EF 67; 3:EE 68", 10,
        "c0 EF 67 | m3 EE 68 [acknowledge from another address than the one called (103)]");
    row("configuration while selected", "0:EF 65; 3:EE 65; 10:EF 64; 12:FE 1E EA", 400,
        "c0 EF 65 | m3 EE 65 | c10 EF 64 | c12 FE 1E [configuration command while module 101 is selected] | "
        "c12 EA");
    row("configuration after release", "0:EF 65; 3:EE 65; 8:EA; 10:EF 64; 12:FE 30 66 EA", 400,
        "c0 EF 65 | m3 EE 65 | c8 EA | c10 EF 64 | c12 FE 30 66 | c12 EA");
    row("a display command is no configuration", "0:EF 65; 3:EE 65; 10:EF 64; 12:FE 06 EA", 400,
        "c0 EF 65 | m3 EE 65 | c10 EF 64 | c12 FE 06 | c12 EA");
    row("unknown command", "0:FE 99", 10, "c0 FE 99 [bytes that fit no frame]");
    row("reply nobody asked for", "0:EE 65", 10, "m0 EE 65 [bytes that fit no frame]");
    row("late acknowledge", "0:EF 65; 200:EE 65", 210,
        "c0 EF 65 [no acknowledge within the reply window] | m200 EE 65 [bytes that fit no frame]");
    row("command cut off", "0:FE 32 01", 10, "c0 FE 32 01 [bytes that fit no frame]");
    row("text runs parted by quiet", "0:41 42; 30:43", 40, "c0 41 42 | c30 43");
}

void tst_protocol::busHeardFromTheSideIsToldApartAndMarked() {
    QFETCH(QString, heard);
    QFETCH(int, endMs);
    for (const bool byteByByte : {false, true}) {
        BusReader reader;
        std::vector<BusFrame> frames;
        auto take = [&](std::vector<BusFrame> more) {
            frames.insert(frames.end(), more.begin(), more.end());
        };
        for (const QString& block : heard.split(QStringLiteral("; "))) {
            const std::int64_t micros = block.section(':', 0, 0).toLongLong() * 1000;
            const Bytes bytes = hex(qPrintable(block.section(':', 1)));
            for (std::size_t at = 0; at < bytes.size(); at += byteByByte ? 1 : bytes.size()) {
                take(reader.feed(bytes.substr(at, byteByByte ? 1 : bytes.size()), micros));
            }
        }
        take(reader.finish(std::int64_t{endMs} * 1000));
        QStringList told;
        std::int64_t before = -1;
        for (const BusFrame& frame : frames) {
            QString line = QStringLiteral("%1%2 %3")
                               .arg(frame.direction == Direction::ToBus ? 'c' : 'm')
                               .arg(frame.micros / 1000)
                               .arg(QString::fromLatin1(toHex(frame.bytes)));
            for (const std::string& flag : frame.flags) {
                line += QStringLiteral(" [%1]").arg(QString::fromStdString(flag));
            }
            told << line;
            QCOMPARE(frame.gapMicros, before < 0 ? -1 : frame.micros - before);
            QVERIFY(!frame.meaning.empty());
            before = frame.micros;
        }
        QTEST(told.join(QStringLiteral(" | ")), "frames");
    }
}

// A capture written packet by packet reads back the same: times to the microsecond, directions,
// bytes, the line speed. Files that are no capture of this bus are refused with a reason.
void tst_protocol::captureFilesKeepEveryPacketOrAreRefused() {
    const std::vector<capture::Packet> packets = {
        {1765112400123456, Direction::ToBus, hex("EF 65")},
        {1765112400125001, Direction::FromBus, hex("EE 65")},
        {1765112400130000, Direction::ToBus, hex("FE C8") + Bytes(32, 'x')}};
    Bytes file = capture::header(capture::describeBus(4800), "trivex test");
    for (const capture::Packet& packet : packets) {
        file += capture::packet(packet);
    }
    std::string why;
    const auto read = capture::read(file, &why);
    QVERIFY2(read, why.c_str());
    QCOMPARE(capture::speedOf(read->description), 4800);
    QCOMPARE(read->packets.size(), packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        QCOMPARE(read->packets[i].micros, packets[i].micros);
        QVERIFY(read->packets[i].direction == packets[i].direction);
        QCOMPARE(toHex(read->packets[i].bytes), toHex(packets[i].bytes));
    }
    Bytes otherLink = file;
    otherLink[file.find(hex("01 00 00 00"), 28) + 8] = 1; // the interface's link type: Ethernet
    const std::vector<std::pair<Bytes, const char*>> refused = {
        {Bytes(), "it is empty"},
        {file.substr(0, file.size() - 3), "a block's length does not add up"},
        {file + Bytes(5, '\0'), "it ends inside a block"},
        {file.substr(28), "it does not begin with a section header"},
        {otherLink, "its link type is 1"},
        {hex("0A 0D 0D 0A 1C 00 00 00 00 00 00 00"), "no byte-order magic"},
    };
    for (const auto& [bytes, reason] : refused) {
        QVERIFY(!capture::read(bytes, &why));
        QVERIFY2(why.find(reason) != std::string::npos, why.c_str());
    }
}

QTEST_APPLESS_MAIN(tst_protocol)
#include "tst_protocol.moc"
