// trivexctl, the program itself, against virtual modules on a pseudo-terminal in this process:
// chained words, refusals that send nothing, a script's JUnit and JSON reports read back, and
// modules commissioned one after the other.

#include "support/Rows.h"
#include "support/VirtualBus.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <memory>

using namespace trivex;

class tst_ctl : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void wordsDriveTheModuleOrAreRefused_data();
    void wordsDriveTheModuleOrAreRefused();
    void scriptReportsEachStep();
    void commissionsModulesOneAfterTheOther();

private:
    // The modules ("101", "102:4800") on a bus behind a pseudo-terminal.
    void startBus(const QStringList& modules);
    // Runs trivexctl on the bus with args; its exit status. Each line it prints asks for Enter
    // when it says so; onPrompt runs first.
    int run(QStringList args, const std::function<void()>& onPrompt = {});

    QTemporaryDir folder_;
    std::unique_ptr<test::VirtualBus> bus_;
    QStringList busLog_;
    QString out_;
    QString err_;
};

void tst_ctl::cleanup() {
    bus_.reset();
    busLog_.clear();
}

void tst_ctl::startBus(const QStringList& modules) {
    bus_ = std::make_unique<test::VirtualBus>(modules, folder_.filePath("bus"));
    connect(&bus_->pty, &sim::PtyBus::logged, this, [this](const QString& line) { busLog_ << line; });
}

int tst_ctl::run(QStringList args, const std::function<void()>& onPrompt) {
    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TRIVEX_INI", folder_.filePath("trivex.ini"));
    ctl.setProcessEnvironment(environment);
    ctl.setWorkingDirectory(folder_.path());
    out_.clear();
    connect(&ctl, &QProcess::readyReadStandardOutput, this, [&] {
        while (ctl.canReadLine()) {
            const QString line = QString::fromUtf8(ctl.readLine());
            out_ += line;
            if (line.startsWith("Connect module")) {
                if (onPrompt) {
                    onPrompt();
                }
                ctl.write("\n");
            }
        }
    });
    ctl.start(TRIVEXCTL_PATH, args.replaceInStrings("BUS", folder_.filePath("bus")));
    // The bus answers from this process's event loop while the program runs.
    if (!QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 30000)) {
        ctl.kill();
    }
    out_ += QString::fromUtf8(ctl.readAllStandardOutput());
    err_ = QString::fromUtf8(ctl.readAllStandardError());
    return ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
}

void tst_ctl::wordsDriveTheModuleOrAreRefused_data() {
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");  // what the program says, "|" between parts
    QTest::addColumn<QString>("shown"); // the module's first line afterwards
    test::row(
        "chained words", "select 101 text 1 HELLO text 2 THERE input release", 0,
        "ok .*select 101: UID 101 Connected|ok .*text 2 THERE\n|input: LOW|release: Device Disconnected",
        "HELLO");
    test::row("a select not answered fails, the rest go on", "select 102 select 101 text 1 ON", 1,
              "FAIL .*select 102: Device Not Found|ok .*text 1 ON", "ON");
    test::row("an address out of range", "select 101 select 256", 2,
              "argument 3: Address \"256\" refused: enter a whole number 0 to 255", "");
    test::row("a frame marker in text", "text 1 \u00EAB", 2, "argument 1: \u201C\u00EA\u201D cannot be typed",
              "");
    test::row("a line too long", "text 1 ABCDEFGHIJKLMNOPQ", 2, "holds 17 characters", "");
    test::row("an unknown word", "select 101 selekt 101", 2, "argument 3: unknown word \"selekt\"", "");
    test::row("an argument missing", "select 101 cursor 1", 2, "argument 3: cursor needs ROW COL", "");
    test::row("configuration while selected", "select 101 set-uid 120", 2,
              "set-uid 120 is refused while a module is selected \\(select 101 at argument 1\\)", "");
    test::row("bad hex", "send FE1", 2, "Bytes \"FE1\" refused", "");
    test::row("a port that is not there", "--port /dev/trivex-absent select 101", 3,
              "/dev/trivex-absent is not present", "");
}

void tst_ctl::wordsDriveTheModuleOrAreRefused() {
    QFETCH(QString, words);
    QFETCH(QString, said);
    QFETCH(QString, shown);
    startBus({"101"});
    const QStringList args =
        words.startsWith("--") ? words.split(' ') : QStringList{"--port", "BUS"} + words.split(' ');
    QTEST(run(args), "status");
    for (const QString& part : said.split('|')) {
        QVERIFY2((out_ + err_).contains(QRegularExpression(part)), qPrintable(out_ + err_));
    }
    if (shown.isEmpty()) {
        QVERIFY2(busLog_.isEmpty(), qPrintable(busLog_.join('\n'))); // refused: not a byte sent
    } else {
        QCOMPARE(QString::fromStdString(bus_->bus.modules()[0].display.lineText(0)).trimmed(), shown);
    }
}

// A script with a failing expectation: every step is run and reported, as text, as JSON and
// in a JUnit report that reads back.
void tst_ctl::scriptReportsEachStep() {
    startBus({"101"});
    QFile script(folder_.filePath("check.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("# end-of-line check\n"
                 "select 150\n"
                 "expect no-answer\n"
                 "select 101\n"
                 "text 1 \"ON TEST\"   # a comment after a step\n"
                 "expect input high\n"
                 "release\n");
    script.close();
    QCOMPARE(run({"--port", "BUS", "--json", "--report", "junit", "report.xml", "run", "check.txt"}), 1);
    QStringList outcomes;
    for (const QString& line : out_.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject step = QJsonDocument::fromJson(line.toUtf8()).object();
        outcomes << QStringLiteral("%1 %2 %3")
                        .arg(step["where"].toString(), step["ok"].toBool() ? "ok" : "FAIL",
                             step["outcome"].toString());
    }
    QCOMPARE(outcomes,
             QStringList({"check.txt:2 ok Device Not Found, as expected", "check.txt:4 ok UID 101 Connected",
                          "check.txt:5 ok ", "check.txt:6 FAIL LOW, HIGH expected",
                          "check.txt:7 ok Device Disconnected"}));
    QCOMPARE(QString::fromStdString(bus_->bus.modules()[0].display.lineText(0)),
             QStringLiteral("ON TEST         "));
    QFile report(folder_.filePath("report.xml"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&report);
    QStringList cases;
    QString suite;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"testsuite") {
            suite = QStringLiteral("%1 %2/%3")
                        .arg(xml.attributes().value("name"), xml.attributes().value("failures"),
                             xml.attributes().value("tests"));
        } else if (xml.name() == u"testcase") {
            cases << xml.attributes().value("name").toString();
        } else if (xml.name() == u"failure") {
            cases.last() += " FAILED: " + xml.attributes().value("message").toString();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(suite, QStringLiteral("check 1/5"));
    QCOMPARE(cases.at(3), QStringLiteral("check.txt:6: expect input high FAILED: LOW, HIGH expected"));
    // A line of the script that is no step is refused, naming it, before anything is sent.
    QVERIFY(script.open(QIODevice::Append));
    script.write("expect answer\nbacklight dim\n");
    script.close();
    busLog_.clear();
    QCOMPARE(run({"--port", "BUS", "run", "check.txt"}), 2);
    QVERIFY2(err_.contains("check.txt:9: Backlight \"dim\" refused"), qPrintable(err_));
    QVERIFY(busLog_.isEmpty());
}

// Three new modules, each at the factory's 101 and alone on the bus when the program asks for
// it, become 120 to 122 at 4800 bit/s with the screen given; a log row each.
void tst_ctl::commissionsModulesOneAfterTheOther() {
    startBus({"101"});
    std::vector<sim::ModuleSettings> done;
    auto nextModule = [&] { // the one commissioned goes, a new one is connected
        if (bus_->bus.modules()[0].settings.address != 101) {
            done.push_back(bus_->bus.modules()[0].settings);
        }
        bus_->bus.modules().assign(1, sim::Module());
    };
    QCOMPARE(run({"--port", "BUS", "commission", "--first", "120", "--count", "3", "--speed", "4800",
                  "--screen", "READY", "", "--log", "batch.csv"},
                 nextModule),
             0);
    done.push_back(bus_->bus.modules()[0].settings);
    QCOMPARE(done.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(done[i].address), 120 + i);
        QCOMPARE(done[i].lineSpeed, 4800);
        QCOMPARE(done[i].defaultScreen[0], std::uint8_t('R'));
    }
    QFile log(folder_.filePath("batch.csv"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 4);
    QVERIFY2(rows[3].contains(QRegularExpression(",122,4800,ok,[0-9.]+,LOW$")), qPrintable(rows[3]));
    // An address that already answers is not given to another module: nothing is configured.
    busLog_.clear();
    QCOMPARE(run({"--port", "BUS", "commission", "--first", "122", "--count", "2", "--speed", "4800",
                  "--no-prompt"}),
             1);
    QVERIFY2(err_.contains("address 122 already answers at 4800 bit/s") &&
                 err_.contains("--first 122 --count 2"),
             qPrintable(err_));
    QVERIFY2(!busLog_.join('\n').contains("configuration"), qPrintable(busLog_.join('\n')));
}

QTEST_GUILESS_MAIN(tst_ctl)
#include "tst_ctl.moc"
