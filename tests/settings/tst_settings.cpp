// The settings file on real files on disk, in the shapes that hand editing leaves them.

#include "settings/IniFile.h"
#include "settings/Profile.h"
#include "support/Bench.h"
#include "support/Rows.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace trivex::settings;
namespace test = trivex::test;
using trivex::test::readFile;
using trivex::test::writeFile;

namespace {

constexpr int kRounds = 50;

mode_t umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A file system with no room left: a small tmpfs filled up where the tests may mount one (as
// root), otherwise a file size limit of a few bytes for this process.
class FullFileSystem {
public:
    explicit FullFileSystem(const QString& folder)
        : folder_(folder) {
        QDir().mkpath(folder);
        mounted_ = ::geteuid() == 0 &&
                   QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) == 0;
    }
    ~FullFileSystem() {
        if (mounted_) {
            QProcess::execute("umount", {folder_});
        } else {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        }
    }
    const QString& folder() const { return folder_; }
    void fill() {
        if (mounted_) {
            QFile filler(folder_ + "/filler");
            filler.open(QIODevice::WriteOnly);
            while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
            }
            return;
        }
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit tiny = saved_;
        tiny.rlim_cur = 128; // room for a lock file, not for the settings

        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }

private:
    QString folder_;
    bool mounted_ = false;
    rlimit saved_{};
};

} // namespace

class tst_settings : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void readsWhatHandEditingLeaves_data();
    void readsWhatHandEditingLeaves();
    void writesNeverDestroyWhatTheyCannotRead_data();
    void writesNeverDestroyWhatTheyCannotRead();
    void valuesRoundTripInTheFilesEncoding_data();
    void valuesRoundTripInTheFilesEncoding();
    void twoCopiesOfTheProgramLoseNoKey();
    void copiesThroughAnyNameNeverTearTheFile_data();
    void copiesThroughAnyNameNeverTearTheFile();
    void rewriteKeepsWhatTheFileIs_data();
    void rewriteKeepsWhatTheFileIs();
    void locationOfTheFile();

private:
    QList<QProcess*> startWriters(const QStringList& writers, const QString& as = QString());
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
    // The encoding is the whole file's: bytes that would be UTF-8 in an 8-bit file are two characters.
    row("UTF-8 bytes in an 8-bit file", "[LCD]\nLine1=Gr\xFC\nLine2=\xC3\xA9t\n", "LCD", "Line2",
        QStringLiteral("\u00C3\u00A9t"));
    row("key in the wrong section", "[Settings]\nUID=7\n[LCD]\n", "LCD", "UID", "");
    row("text after a section name", "[LCD] ; the bench module\nUID=7\n", "LCD", "UID", "7");
    row("first of duplicate sections wins", "[LCD]\nBaud=4800\n[LCD]\nUID=9\n", "LCD", "UID", "");
    row("custom cell key", "[LCD]\nCustom3=31\nCustom30=4\n", "LCD", "Custom3", "31");
    row("a value longer than 254 characters arrives cut", "[LCD]\nLine1=" + QByteArray(300, 'x') + "\n",
        "LCD", "Line1", QString(254, 'x'));
}

void tst_settings::readsWhatHandEditingLeaves() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeFile(file(), content);
    QCOMPARE(IniFile(file()).read(section, key), expected);
}

// Every shape a settings file can be found in: what is read from it, and either the exact bytes
// a write of UID=8 leaves, or the reason the write is refused with the file left as it was.
void tst_settings::writesNeverDestroyWhatTheyCannotRead_data() {
    QTest::addColumn<QString>(
        "shape"); // file, symlink (to a file of that content), dangling, fifo, read-only, full
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("stored");   // UID as read before the write
    QTest::addColumn<QByteArray>("after"); // the file after the write; null: refused
    QTest::addColumn<QString>("reason");
    auto utf16 = [](const char* text) {
        QStringEncoder encoder(QStringEncoder::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(QString::fromLatin1(text)));
    };
    auto utf16be = [](const char* text) {
        QStringEncoder encoder(QStringEncoder::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(encoder.encode(QString::fromLatin1(text)));
    };
    auto row = [](const char* name, const char* shape, const QByteArray& content, const char* stored,
                  const QByteArray& after, const char* reason = "") {
        QTest::newRow(name) << shape << content << stored << after << reason;
    };
    row("a missing file is created", "missing", "", "", "[LCD]\nUID=8\n");
    row("comments, other sections, key order and spelling are kept", "file",
        "; bench 3\r\n\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[lcd]\r\n; the "
        "adapter\r\nBaud=4800\r\nuid=2\r\nX=1\r\n; end\r\n",
        "2",
        "; bench 3\r\n\r\n[Ports]\r\nCOM1=/dev/ttyUSB0\r\n[lcd]\r\n; the "
        "adapter\r\nBaud=4800\r\nuid=8\r\nX=1\r\n; end\r\n");
    row("a file of comments only keeps them", "file", "; one\n\n; two\n", "",
        "; one\n\n; two\n\n[LCD]\nUID=8\n");
    row("a file cut short in a key still takes writes", "file", "[Settings]\nCommPort=1\nSett", "",
        "[Settings]\nCommPort=1\nSett\n\n[LCD]\nUID=8\n");
    row("lines the reader does not use are kept verbatim", "file",
        "[LCD] ; bench 3\r\nno equals here\r\nUID=7\r\n[Other]\r\nx=1\r\n[LCD]\r\nUID=9\r\n", "7",
        "[LCD] ; bench 3\r\nno equals here\r\nUID=8\r\n[Other]\r\nx=1\r\n[LCD]\r\nUID=9\r\n");
    row("a new key follows the last key of its section", "file",
        "; notes\n[LCD]\nBaud=9600\n\n[Ports]\nCOM1=x\n", "",
        "; notes\n[LCD]\nBaud=9600\nUID=8\n\n[Ports]\nCOM1=x\n");
    row("UTF-16 with its byte order mark stays UTF-16", "file", utf16("[LCD]\r\nUID=7\r\n"), "7",
        utf16("[LCD]\r\nUID=8\r\n"));
    row("an INI file behind a symlink is written through", "symlink", "[LCD]\nUID=7\n", "7",
        "[LCD]\nUID=8\n");
    row("a passwd-like file behind a symlink", "symlink", "root:x:0:0:root:/root:/bin/bash\nbin:x:2:2::/:\n",
        "", QByteArray(), "no INI file");
    row("a symlink to nothing", "dangling", "", "", QByteArray(), "does not exist");
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(20261206);
    std::generate(noise.begin(), noise.end(), [&] { return char(generator.bounded(256)); });
    row("a binary file", "file", noise, "", QByteArray(), "NUL");
    QByteArray large("[Big]\n");
    while (large.size() <= 1024 * 1024) {
        large += "key=" + QByteArray(60, 'v') + "\n";
    }
    row("a file over 1 MiB", "file", large + "[LCD]\nUID=7\n", "", QByteArray(), "larger than 1 MiB");
    row("a title line before the first section is kept", "file", "Bench 3 settings\r\n[LCD]\r\nUID=7\r\n",
        "7", "Bench 3 settings\r\n[LCD]\r\nUID=8\r\n");
    row("a stray key before the first section is not read", "file", "UID=5\n[LCD]\nBaud=1\n", "",
        "UID=5\n[LCD]\nBaud=1\nUID=8\n");
    row("temporary files left by a killed writer are removed", "leftover", "[LCD]\nUID=7\n", "7",
        "[LCD]\nUID=8\n");
    row("UTF-16 big-endian stays big-endian", "file", utf16be("[LCD]\r\nUID=7\r\n"), "7",
        utf16be("[LCD]\r\nUID=8\r\n"));
    QByteArray nearlyFull("[LCD]\n; " + QByteArray(1024 * 1024 - 12, 'k') + "\n");
    row("a write that would pass 1 MiB", "file", nearlyFull, "", QByteArray(), "grow past 1 MiB");
    row("a FIFO", "fifo", "", "", QByteArray(), "FIFO");
    row("a read-only file", "read-only", "[LCD]\nUID=7\n", "7", QByteArray(), "read-only");
    row("a full file system", "full", "; " + QByteArray(200, 'k') + "\n[LCD]\nUID=7\n", "7", QByteArray(),
        "too large|No space");
}

void tst_settings::writesNeverDestroyWhatTheyCannotRead() {
    QFETCH(QString, shape);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, after);
    QFETCH(QString, reason);
    std::unique_ptr<FullFileSystem> full;
    QString path = file();
    if (shape == "full") {
        full = std::make_unique<FullFileSystem>(dir_->filePath("fs"));
        path = full->folder() + "/trivex.ini";
    }
    QString target = path;
    if (shape == "symlink" || shape == "dangling") {
        target = file("elsewhere.ini");
        QVERIFY(QFile::link(target, path));
    } else if (shape == "fifo") {
        QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
    }
    if (shape != "dangling" && shape != "fifo" && shape != "missing") {
        writeFile(target, content);
        QVERIFY(::chmod(qPrintable(target), 0664) == 0); // shared with a group
    }
    const QString leftover = file(".trivex.ini.Ab12Cd");
    if (shape == "leftover") {
        writeFile(leftover, "half a file");
    }
    const bool existed = QFileInfo::exists(target);
    if (shape == "read-only") {
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup));
    }
    if (full) {
        full->fill();
    }
    QTEST(IniFile(path).read("LCD", "UID"), "stored");
    IniFile ini(path);
    const bool written = ini.write("LCD", "UID", "8");
    const QByteArray now = shape == "fifo" ? QByteArray() : readFile(target);
    const bool exists = QFileInfo::exists(target);
    full.reset();
    QCOMPARE(QFileInfo(path).isSymLink(), shape == "symlink" || shape == "dangling");
    if (after.isNull()) {
        QVERIFY(!written);
        QVERIFY2(QRegularExpression(reason).match(ini.errorString()).hasMatch(),
                 qPrintable(ini.errorString()));
        QCOMPARE(exists, existed);
        QCOMPARE(now, content);
    } else {
        QVERIFY2(written, qPrintable(ini.errorString()));
        QCOMPARE(now, after);
        struct stat info {};
        QVERIFY(::stat(qPrintable(target), &info) == 0);
        QCOMPARE(info.st_mode & 07777, existed ? 0664u : (0666u & ~umask()));
        QVERIFY(!QFileInfo::exists(leftover));
    }
}

// A value reads back exactly as it was written, in the file's own encoding (judged once for
// the file), and no value can plant a key; a value the encoding cannot hold is refused.
void tst_settings::valuesRoundTripInTheFilesEncoding_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("value");    // stored as Line2
    QTest::addColumn<QByteArray>("after"); // the file's bytes after; empty: not looked at; null: refused
    auto utf16 = [](QStringEncoder::Encoding encoding, const QString& text) {
        QStringEncoder encoder(encoding);
        return QByteArray(encoding == QStringEncoder::Utf16LE ? "\xFF\xFE" : "\xFE\xFF") +
               QByteArray(encoder.encode(text));
    };
    const QString cafe = QStringLiteral("Caf\u00E9 \u00B0C");
    for (const QString& value :
         {QStringLiteral("HELLO           "), QStringLiteral("   x"), QStringLiteral("[LCD] a=b ;c"),
          QStringLiteral("\"HELLO\""), QStringLiteral(" \""), QString()}) {
        QTest::newRow(qPrintable("\"" + value + "\"")) << QByteArray() << value << QByteArray("");
    }
    QTest::newRow("a line break cannot plant a key")
        << QByteArray() << QStringLiteral("1\n[Settings]\r\nCommPort=9")
        << QByteArray("[LCD]\nLine2=1 [Settings]  CommPort=9\n");
    QTest::newRow("8-bit text stays 8-bit") << QByteArray("[LCD]\nLine1=Caf\xE9 \xB0"
                                                          "C\n")
                                            << cafe
                                            << QByteArray("[LCD]\nLine1=Caf\xE9 \xB0"
                                                          "C\nLine2=Caf\xE9 \xB0"
                                                          "C\n");
    QTest::newRow("8-bit text cannot hold the euro sign")
        << QByteArray("[LCD]\nLine1=\x80\n") << QStringLiteral("5 \u20AC") << QByteArray();
    QTest::newRow("UTF-8 stays UTF-8") << QByteArray("[LCD]\nLine1=\xC3\xA9\n") << cafe
                                       << QByteArray("[LCD]\nLine1=\xC3\xA9\nLine2=Caf\xC3\xA9 \xC2\xB0"
                                                     "C\n");
    for (const auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
        QTest::newRow(encoding == QStringEncoder::Utf16LE ? "UTF-16 little-endian" : "UTF-16 big-endian")
            << utf16(encoding, "[LCD]\n") << QStringLiteral("\u20AC")
            << utf16(encoding, QStringLiteral("[LCD]\nLine2=\u20AC\n"));
    }
}

void tst_settings::valuesRoundTripInTheFilesEncoding() {
    QFETCH(QByteArray, content);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!content.isEmpty()) {
        writeFile(file(), content);
    }
    IniFile ini(file());
    QVERIFY2(ini.write("LCD", "Line2", value) == !after.isNull(), qPrintable(ini.errorString()));
    if (after.isNull()) {
        QVERIFY2(ini.errorString().contains("cannot hold"), qPrintable(ini.errorString()));
        QCOMPARE(readFile(file()), content);
        return;
    }
    QVERIFY(ini.write("LCD", "After", "after"));
    QCOMPARE(ini.read("LCD", "Line2"), QString(value).replace('\n', ' ').replace('\r', ' '));
    QCOMPARE(ini.read("LCD", "After"), QStringLiteral("after"));
    if (!after.isEmpty()) {
        QVERIFY(readFile(file()).startsWith(after));
    }
}

// Copies of the program writing to path, as the host mode below: each started, then all let go
// at once behind a barrier, so that their writes overlap; they are still running.
QList<QProcess*> tst_settings::startWriters(const QStringList& writers, const QString& as) {
    QList<QProcess*> copies;
    for (const QString& writer : writers) {
        auto* copy = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TRIVEX_TEST_WRITER", writer);
        if (!as.isEmpty()) {
            environment.insert("TRIVEX_TEST_AS", as);
        }
        copy->setProcessEnvironment(environment);
        copy->start(QCoreApplication::applicationFilePath(), {});
        copies << copy;
    }
    for (QProcess* copy : copies) {
        if (!copy->waitForReadyRead(10000)) {
            qWarning("a writer did not start");
        }
    }
    for (QProcess* copy : copies) {
        copy->write("\n");
        copy->waitForBytesWritten(1000); // a process's output goes out only while it is waited for
    }
    return copies;
}

// Two copies writing at once lose no key; and while a copy rewrites the file, it holds the
// lock: whenever this test holds it, the file stands still.
void tst_settings::twoCopiesOfTheProgramLoseNoKey() {
    const QString path = file();
    const QList<QProcess*> copies = startWriters({path + "|A", path + "|B"});
    QLockFile lock(path + ".lock");
    int held = 0;
    auto version = [&path] {
        struct stat info {};
        ::stat(qPrintable(path), &info);
        return std::make_pair(info.st_ino, info.st_mtim.tv_nsec);
    };
    while (copies[0]->state() != QProcess::NotRunning || copies[1]->state() != QProcess::NotRunning) {
        if (lock.tryLock(0)) { // held briefly, now and then, so that the copies are not kept out
            const auto before = version();
            QThread::usleep(100);
            QVERIFY(version() == before);
            ++held;
            lock.unlock();
        }
        copies[held % 2]->waitForFinished(2);
    }
    QVERIFY(held > 0);
    for (QProcess* copy : copies) {
        QCOMPARE(copy->exitCode(), 0);
    }
    IniFile ini(path);
    for (int round = 1; round <= kRounds; ++round) {
        QCOMPARE(ini.read("Race", QStringLiteral("A%1").arg(round)), QString::number(round));
        QCOMPARE(ini.read("Race", QStringLiteral("B%1").arg(round)), QString::number(round));
    }
}

// Copies of the program reaching one file through its two names (hard links), or a group
// member rewriting it in place: writers exclude each other through either name, and a reader
// never sees a rewrite half done, whichever way it is made.
void tst_settings::copiesThroughAnyNameNeverTearTheFile_data() {
    QTest::addColumn<int>("names");   // of the file
    QTest::addColumn<int>("writers"); // through the names in turn
    QTest::addColumn<QString>("as");  // the writers' uid:gid; the file is 1001:1234 then
    QTest::addColumn<bool>("reader"); // one reading a key nobody changes, through the last name
    test::row("ten writers through two names", 2, 10, "", false);
    test::row("a reader through a second name beside an in-place writer", 2, 1, "", true);
    test::row("a reader beside a group member writing in place", 1, 1, "1002:1234", true);
}

void tst_settings::copiesThroughAnyNameNeverTearTheFile() {
    QFETCH(int, names);
    QFETCH(int, writers);
    QFETCH(QString, as);
    QFETCH(bool, reader);
    if (!as.isEmpty() && ::geteuid() != 0) {
        QSKIP("takes a second user: run as root");
    }
    const QString folder = dir_->filePath("lab");
    QVERIFY(QDir().mkdir(folder));
    const QStringList paths{folder + "/a.ini", folder + "/b.ini"};
    writeFile(paths[0], "[Settings]\nCommPort=1\n");
    if (!as.isEmpty()) {
        for (const QString& place : {dir_->path(), folder}) {
            QVERIFY(::chown(qPrintable(place), 1001, 1234) == 0 && ::chmod(qPrintable(place), 02775) == 0);
        }
        QVERIFY(::chown(qPrintable(paths[0]), 1001, 1234) == 0 && ::chmod(qPrintable(paths[0]), 0664) == 0);
    }
    if (names == 2) {
        QVERIFY(::link(qPrintable(paths[0]), qPrintable(paths[1])) == 0);
    }
    const int rounds = reader ? 200 : 20;
    const QList<QProcess*> readers = reader ? startWriters({paths[names - 1] + "|?"}) : QList<QProcess*>{};
    QStringList specs;
    for (int i = 0; i < writers; ++i) {
        specs << QStringLiteral("%1|W%2_|%3").arg(paths[i % names]).arg(i).arg(rounds);
    }
    for (QProcess* copy : startWriters(specs, as)) {
        QVERIFY(copy->waitForFinished(60000));
        QCOMPARE(copy->exitCode(), 0);
    }
    for (QProcess* copy : readers) {
        copy->closeWriteChannel(); // the reader stops at the end of its input
        QVERIFY(copy->waitForFinished(10000));
        const QString said = QString::fromUtf8(copy->readAll());
        QVERIFY2(said.contains(QRegularExpression("\\b0 of [1-9][0-9]* reads missed it")), qPrintable(said));
    }
    const QByteArray kept = readFile(paths[0]);
    QVERIFY(!kept.contains('\0'));
    for (int i = 0; i < writers; ++i) {
        for (int round = 1; round <= rounds; ++round) {
            QVERIFY2(kept.contains(QStringLiteral("W%1_%2=%2\n").arg(i).arg(round).toUtf8()),
                     kept.constData());
        }
    }
}

// A rewrite by another user of a shared file (a lab's group) keeps the file as it was in all
// but its content: owner, group, mode, ACLs, extended attributes and its other names.
void tst_settings::rewriteKeepsWhatTheFileIs_data() {
    QTest::addColumn<QString>("writer"); // uid:gid of the writer; the file is 1001:1234
    QTest::addColumn<QString>("extra");  // acl, link, or a folder that takes no new file
    test::row("a group member who is not the owner", "1002:1234", "");
    test::row("the owner, with an ACL and an attribute", "1001:1234", "acl");
    test::row("root, with an ACL and an attribute", "0:0", "acl");
    test::row("a file with a second name", "1001:1234", "link");
    test::row("a folder that takes no new file", "1001:1234", "locked");
}

void tst_settings::rewriteKeepsWhatTheFileIs() {
    QFETCH(QString, writer);
    QFETCH(QString, extra);
    if (::geteuid() != 0) {
        QSKIP("takes a second user: run as root");
    }
    const QString folder = dir_->filePath("lab");
    const QString path = folder + "/trivex.ini";
    QVERIFY(QDir().mkdir(folder));
    writeFile(path, "[LCD]\nUID=7\n");
    QVERIFY(::chown(qPrintable(dir_->path()), 1001, 1234) == 0 &&
            ::chmod(qPrintable(dir_->path()), 0775) == 0);
    QVERIFY(::chown(qPrintable(folder), 1001, 1234) == 0 &&
            ::chmod(qPrintable(folder), extra == "locked" ? 0555 : 02775) == 0);
    QVERIFY(::chown(qPrintable(path), 1001, 1234) == 0 && ::chmod(qPrintable(path), 0664) == 0);
    // user:1003 may read and write besides owner and group (tag, permissions, id; mask rw).
    const std::vector<std::uint16_t> acl{2,      0,      1,    6, 0xFFFF, 0xFFFF, 2,    6,
                                         1003,   0,      4,    6, 0xFFFF, 0xFFFF, 0x10, 6,
                                         0xFFFF, 0xFFFF, 0x20, 4, 0xFFFF, 0xFFFF};
    if (extra == "acl") {
        QVERIFY(::setxattr(qPrintable(path), "system.posix_acl_access", acl.data(), acl.size() * 2, 0) == 0);
        QVERIFY(::setxattr(qPrintable(path), "user.bench", "3", 1, 0) == 0);
    } else if (extra == "link") {
        QVERIFY(::link(qPrintable(path), qPrintable(folder + "/other-name.ini")) == 0);
    }
    struct stat before {};
    QVERIFY(::stat(qPrintable(path), &before) == 0);
    const QList<QProcess*> copies = startWriters({path + "|W|1"}, writer);
    QVERIFY(copies[0]->waitForFinished(10000));
    QCOMPARE(copies[0]->exitCode(), 0);
    QCOMPARE(IniFile(path).read("Race", "W1"), QStringLiteral("1"));
    struct stat after {};
    QVERIFY(::stat(qPrintable(path), &after) == 0);
    QCOMPARE(QStringLiteral("%1:%2 %3").arg(after.st_uid).arg(after.st_gid).arg(after.st_mode & 07777, 0, 8),
             QStringLiteral("1001:1234 664"));
    if (extra == "acl") {
        std::vector<std::uint16_t> kept(acl.size() + 2);
        QCOMPARE(::getxattr(qPrintable(path), "system.posix_acl_access", kept.data(), kept.size() * 2),
                 ssize_t(acl.size() * 2));
        QVERIFY(std::equal(acl.begin(), acl.end(), kept.begin()));
        char value[8] = {};
        QCOMPARE(::getxattr(qPrintable(path), "user.bench", value, sizeof value), ssize_t(1));
    } else if (extra == "link") {
        QCOMPARE(readFile(folder + "/other-name.ini"), readFile(path));
    }
    // Nothing else is left in the folder: no temporary file, no lock.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("^(?!other-name)")),
             QStringList{"trivex.ini"});
}

// Where the file lives: beside the program (AppFolder ends in exactly one separator, a root
// too), in the user's folder when the program's folder is shared or cannot be written (and that
// folder is made on the first write), or a file prepared beside an installed program.
void tst_settings::locationOfTheFile() {
    QCOMPARE(withTrailingSeparator("/"), QStringLiteral("/"));
    QCOMPARE(withTrailingSeparator("/opt/trivex"), QStringLiteral("/opt/trivex/"));
    QCOMPARE(withTrailingSeparator("/opt/trivex/"), QStringLiteral("/opt/trivex/"));
    QCOMPARE(QDir(AppFolder()).canonicalPath(), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    const QString home = dir_->filePath("config");
    QCOMPARE(chooseSettingsFile(dir_->path(), home), dir_->path() + "/trivex.ini");
    QCOMPARE(chooseSettingsFile("/proc", home), home + "/trivex/trivex.ini");
    QVERIFY(QDir(dir_->path()).mkdir("bin"));
    QCOMPARE(chooseSettingsFile(dir_->filePath("bin"), home), home + "/trivex/trivex.ini");
    writeFile(dir_->filePath("bin/trivex.ini"), "[LCD]\nCustom1=31\n");
    QCOMPARE(chooseSettingsFile(dir_->filePath("bin"), home), dir_->filePath("bin/trivex.ini"));
    useSettingsFile(home + "/trivex/trivex.ini");
    QVERIFY(WriteINI("Settings", "CommPort", "4"));
    QCOMPARE(ReadINI("settings", "commport"), QStringLiteral("4"));
}

// With TRIVEX_TEST_WRITER=FILE|NAME[|ROUNDS] this program is one of the copies that race for
// the file: it says it is ready, waits for a line on its input (the barrier), then stores the
// keys NAME1 to NAME50 (or ROUNDS), each in a write of its own. With NAME "?" it reads CommPort
// (which must be 1) until its input ends, and says how many reads missed it.
// TRIVEX_TEST_AS=UID:GID makes it that user, in that group, first.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (const QString writer = qEnvironmentVariable("TRIVEX_TEST_WRITER"); !writer.isEmpty()) {
        if (const QString as = qEnvironmentVariable("TRIVEX_TEST_AS"); !as.isEmpty()) {
            const auto gid = static_cast<gid_t>(as.section(':', 1).toUInt());
            const auto uid = static_cast<uid_t>(as.section(':', 0, 0).toUInt());
            if (::setgroups(1, &gid) != 0 || ::setresgid(gid, gid, gid) != 0 ||
                ::setresuid(uid, uid, uid) != 0) {
                std::perror("cannot become that user");
                return 1;
            }
        }
        std::printf("ready\n");
        std::fflush(stdout);
        std::getchar();
        IniFile ini(writer.section('|', 0, 0));
        if (writer.section('|', 1, 1) == QLatin1String("?")) {
            ::fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
            int reads = 0;
            int missed = 0;
            char byte = 0;
            while (::read(STDIN_FILENO, &byte, 1) != 0) {
                ++reads;
                missed += ini.read("Settings", "CommPort") == QLatin1String("1") ? 0 : 1;
            }
            std::printf("%d of %d reads missed it\n", missed, reads);
            return missed == 0 ? 0 : 1;
        }
        const int rounds = writer.section('|', 2).isEmpty() ? kRounds : writer.section('|', 2).toInt();
        for (int round = 1; round <= rounds; ++round) {
            if (!ini.write("Race", writer.section('|', 1, 1) + QString::number(round),
                           QString::number(round))) {
                std::fprintf(stderr, "%s\n", qPrintable(ini.errorString()));
                return 1;
            }
        }
        return 0;
    }
    tst_settings test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settings.moc"
