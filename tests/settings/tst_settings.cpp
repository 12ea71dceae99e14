// The settings file on real files on disk, in the shapes that hand editing leaves them.

#include "settings/IniFile.h"
#include "settings/Profile.h"
#include "support/Bench.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace trivex::settings;
using trivex::test::readFile;
using trivex::test::writeFile;

class tst_settings : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void readsWhatHandEditingLeaves_data();
    void readsWhatHandEditingLeaves();
    void missingFileSectionOrKeyReadEmpty();
    void longValueIsCutTo254Characters();
    void firstWriteCreatesFileSectionAndKey();
    void writeKeepsCommentsUnknownSectionsAndOrder();
    void fileOfCommentsOnlyKeepsThemAll();
    void damagedOrMissingFileTakesWrites_data();
    void damagedOrMissingFileTakesWrites();
    void valuesRoundTripExactly_data();
    void valuesRoundTripExactly();
    void lineBreakInAValueCannotPlantAKey();
    void refusedWriteLeavesTheFileAsItWas();
    void appFolderEndsInExactlyOneSeparator();
    void locationFallsBackToTheUserFolder();
    void writeCreatesTheUserFolder();

private:
    QString file(const char* name = "trivex.ini") const { return dir_->filePath(QString::fromLatin1(name)); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void tst_settings::readsWhatHandEditingLeaves_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const QByteArray& content, const char* section, const char* key,
                  const QString& expected) { QTest::newRow(name) << content << section << key << expected; };
    row("CRLF line ends", "[Settings]\r\nCommPort=3\r\nSetting=9600,n,8,1\r\n", "Settings", "Setting",
        "9600,n,8,1");
    row("names in another case", "[settings]\nCOMMPORT=2\n", "Settings", "CommPort", "2");
    row("blanks around names and values", "  [ LCD ]  \n  UID  =  105  \n", "LCD", "UID", "105");
    row("surrounding quotes stripped", "[LCD]\nLine1=\"  HI  \"\n", "LCD", "Line1", "  HI  ");
    row("inner quotes kept", "[LCD]\nLine1=\"a\"b\"\n", "LCD", "Line1", "a\"b");
    row("comment lines skipped", "; made by hand\n[LCD]\n;UID=1\nUID=2\n", "LCD", "UID", "2");
    row("first duplicate wins", "[LCD]\nUID=111\nUID=122\n", "LCD", "UID", "111");
    row("line without equals ignored", "[LCD]\nUID\nBaud=9600\n", "LCD", "UID", "");
    row("8-bit code page text",
        "[LCD]\nLine1=Gr\xFC\xDF"
        "e\n",
        "LCD", "Line1", QStringLiteral("Gr\u00FC\u00DFe"));
    row("UTF-8 with byte order mark", "\xEF\xBB\xBF[LCD]\nLine1=\xC3\xA9t\n", "LCD", "Line1",
        QStringLiteral("\u00E9t"));
    row("key in the wrong section", "[Settings]\nUID=7\n[LCD]\n", "LCD", "UID", "");
    row("NUL bytes do not hide later lines", QByteArray("[Other]\nx=\0\0\n[LCD]\nUID=7\n", 25), "LCD", "UID",
        "7");
    row("custom cell key", "[LCD]\nCustom3=31\nCustom30=4\n", "LCD", "Custom3", "31");
}

void tst_settings::readsWhatHandEditingLeaves() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeFile(file(), content);
    QCOMPARE(IniFile(file()).read(section, key), expected);
}

void tst_settings::missingFileSectionOrKeyReadEmpty() {
    QCOMPARE(IniFile(file("absent.ini")).read("Settings", "CommPort"), QString());
    writeFile(file(), "[Settings]\nCommPort=1\n");
    QCOMPARE(IniFile(file()).read("LCD", "CommPort"), QString());
    QCOMPARE(IniFile(file()).read("Settings", "Setting"), QString());
    QVERIFY(!QFile::exists(file("absent.ini")));
}

void tst_settings::longValueIsCutTo254Characters() {
    const QByteArray value(300, 'x');
    writeFile(file(), "[LCD]\nLine1=" + value + "\n");
    QCOMPARE(IniFile(file()).read("LCD", "Line1"), QString(254, QLatin1Char('x')));
}

void tst_settings::firstWriteCreatesFileSectionAndKey() {
    IniFile ini(file());
    QVERIFY(ini.write("Settings", "CommPort", "1"));
    QVERIFY(ini.write("Settings", "Setting", "9600,n,8,1"));
    QVERIFY(ini.write("LCD", "UID", "101"));
    QCOMPARE(ini.read("Settings", "Setting"), QStringLiteral("9600,n,8,1"));
    const QByteArray content = readFile(file());
    QVERIFY2(content.startsWith("[Settings]\nCommPort=1\nSetting=9600,n,8,1\n"), content);
    QVERIFY2(content.contains("\n[LCD]\nUID=101\n"), content);
}

void tst_settings::writeKeepsCommentsUnknownSectionsAndOrder() {
    writeFile(
        file(),
        "; bench 3, left rack\r\n\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[settings]\r\n; the RS485 adapter\r\n"
        "Setting=4800,n,8,1\r\ncommport=2\r\nOther=kept\r\n; end of the bench notes\r\n");
    IniFile ini(file());
    QVERIFY(ini.write("Settings", "CommPort", "5"));
    const QByteArray after = readFile(file());
    QCOMPARE(ini.read("Settings", "CommPort"), QStringLiteral("5"));
    QCOMPARE(ini.read("Ports", "COM1"), QStringLiteral("/dev/ttyUSB0"));
    QVERIFY2(after.contains("; bench 3, left rack"), after);
    QVERIFY2(after.contains("; the RS485 adapter"), after);
    QVERIFY2(after.contains("; end of the bench notes"), after);
    // Key order and the key's own spelling stay as the operator left them.
    const qsizetype setting = after.indexOf("Setting=4800,n,8,1");
    const qsizetype port = after.indexOf("commport=5");
    const qsizetype other = after.indexOf("Other=kept");
    QVERIFY2(setting >= 0 && setting < port && port < other, after);
    QVERIFY2(after.indexOf("[Ports]") < after.indexOf("[settings]"), after);
}

void tst_settings::fileOfCommentsOnlyKeepsThemAll() {
    writeFile(file(), "; first block\n\n; second block\n");
    IniFile ini(file());
    QVERIFY(ini.write("LCD", "UID", "101"));
    QVERIFY(ini.write("LCD", "Baud", "9600"));
    const QByteArray after = readFile(file());
    QCOMPARE(after.count("; first block"), 1);
    QCOMPARE(after.count("; second block"), 1);
    QCOMPARE(ini.read("LCD", "UID"), QStringLiteral("101"));
    QCOMPARE(ini.read("LCD", "Baud"), QStringLiteral("9600"));
}

void tst_settings::damagedOrMissingFileTakesWrites_data() {
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("truncated in a key") << QByteArray("[Settings]\nCommPort=1\nSett");
    QTest::newRow("truncated in a section") << QByteArray("[Settings]\nCommPort=1\n[LC");
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(20261206);
    std::generate(noise.begin(), noise.end(), [&] { return char(generator.bounded(256)); });
    QTest::newRow("binary") << noise;
    QByteArray large;
    for (int i = 0; large.size() < 1024 * 1024; ++i) {
        large += "[Bench" + QByteArray::number(i) + "]\nnote=" + QByteArray(40, 'n') + "\n";
    }
    QTest::newRow("1 MiB") << large + "[Last]\nmarker=kept\n";
}

void tst_settings::damagedOrMissingFileTakesWrites() {
    QFETCH(QByteArray, content);
    if (!content.isNull()) {
        writeFile(file(), content);
    }
    IniFile ini(file());
    QVERIFY(ini.write("Settings", "CommPort", "2"));
    QVERIFY(ini.write("LCD", "Line1", "  kept  "));
    QCOMPARE(ini.read("Settings", "CommPort"), QStringLiteral("2"));
    QCOMPARE(ini.read("LCD", "Line1"), QStringLiteral("  kept  "));
    if (content.size() > 1024 * 1024) {
        QCOMPARE(ini.read("Last", "marker"), QStringLiteral("kept"));
        QCOMPARE(ini.read("Bench7", "note"), QString(40, 'n'));
    }
}

void tst_settings::valuesRoundTripExactly_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("padded line") << QStringLiteral("HELLO           ");
    QTest::newRow("leading blanks") << QStringLiteral("   x");
    QTest::newRow("sixteen spaces") << QString(16, QLatin1Char(' '));
    QTest::newRow("Latin-1 letters") << QStringLiteral("\u00C4\u00D6\u00DC \u00E9");
    QTest::newRow("INI syntax inside a value") << QStringLiteral("[LCD] a=b ;c");
    QTest::newRow("surrounding quotes") << QStringLiteral("\"HELLO\"");
    QTest::newRow("quote and blank") << QStringLiteral(" \"");
    QTest::newRow("empty") << QString();
}

void tst_settings::valuesRoundTripExactly() {
    QFETCH(QString, value);
    IniFile ini(file());
    QVERIFY(ini.write("LCD", "Line1", value));
    QVERIFY(ini.write("LCD", "Line2", "after"));
    QCOMPARE(ini.read("LCD", "Line1"), value);
    QCOMPARE(ini.read("LCD", "Line2"), QStringLiteral("after"));
}

void tst_settings::lineBreakInAValueCannotPlantAKey() {
    IniFile ini(file());
    QVERIFY(ini.write("LCD", "UID", "101\n[Settings]\r\nCommPort=9"));
    QCOMPARE(ini.read("Settings", "CommPort"), QString());
    QCOMPARE(ini.read("LCD", "UID"), QStringLiteral("101 [Settings]  CommPort=9"));
}

void tst_settings::refusedWriteLeavesTheFileAsItWas() {
    const QByteArray before("[LCD]\nUID=105\n");
    writeFile(file(), before);
    QVERIFY(QFile::setPermissions(file(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    IniFile ini(file());
    QVERIFY(!ini.write("LCD", "UID", "110"));
    QVERIFY(!ini.errorString().isEmpty());
    QCOMPARE(readFile(file()), before);

    IniFile nowhere(QStringLiteral("/proc/trivex-test.ini"));
    QVERIFY(!nowhere.write("LCD", "UID", "110"));
}

void tst_settings::appFolderEndsInExactlyOneSeparator() {
    QCOMPARE(withTrailingSeparator("/"), QStringLiteral("/"));
    QCOMPARE(withTrailingSeparator("/opt/trivex"), QStringLiteral("/opt/trivex/"));
    QCOMPARE(withTrailingSeparator("/opt/trivex/"), QStringLiteral("/opt/trivex/"));
    QCOMPARE(chooseSettingsFile("/", "/home/op/.config").count(QStringLiteral("//")), 0);
    const QString folder = AppFolder();
    QVERIFY(folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QStringLiteral("//")));
    QCOMPARE(QDir(folder).canonicalPath(), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
}

void tst_settings::locationFallsBackToTheUserFolder() {
    const QString home = dir_->filePath("config");
    QCOMPARE(chooseSettingsFile(dir_->path(), home), dir_->path() + "/trivex.ini");
    QCOMPARE(chooseSettingsFile("/proc", home), home + "/trivex/trivex.ini");
    // An installed program shares its bin folder with every user: never settings there.
    QVERIFY(QDir(dir_->path()).mkdir("bin"));
    QCOMPARE(chooseSettingsFile(dir_->filePath("bin"), home), home + "/trivex/trivex.ini");
}

void tst_settings::writeCreatesTheUserFolder() {
    const QString path = dir_->filePath("config/trivex/trivex.ini");
    useSettingsFile(path);
    QCOMPARE(ReadINI("Settings", "CommPort"), QString());
    QVERIFY(WriteINI("Settings", "CommPort", "4"));
    QCOMPARE(ReadINI("settings", "commport"), QStringLiteral("4"));
    QVERIFY(QFile::exists(path));
}

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
