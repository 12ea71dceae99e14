#pragma once

#include "protocol/BusReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// A station's results, kept in one place: what ran, on which port, for which module, when, by
// which station, operator and batch, with what outcome. The text lines, the JSON stream, the
// JUnit report and the CSV log are views of it (Views.h, CsvLog.h).
namespace trivex::ctl {

enum class Verdict {
    Passed,
    Failed, // a check did not hold
    Error,  // the step could not be carried out: the port was lost, standard input ended
    NotRun, // a step after the run stopped
};

// What one step found out about a module, where it concerns one.
struct ModuleFacts {
    int address = 0;
    int speed = 0; // bit/s; 0 for the server's speed on a raw network port
    double replyMs = 0;
    QString input; // "HIGH", "LOW", "No Response", "-"
    QString note;  // a scan's note on what answered
    QString sent;  // the configuration commands that went out to it, "; " between them; "-" for none
};

struct Entry {
    QString where;   // "argument 3", "test.txt:4", "module 2 of 50", "scan"
    QString command; // "select 101", "commission 120"
    Verdict verdict = Verdict::Passed;
    double ms = 0;
    QString outcome;      // in the windows' words; for an error or a step not run, why
    QString at;           // when it ended: ISO 8601 with its UTC offset
    QString config;       // a short hash of the configuration it sent; empty for none
    bool finding = false; // a module the scan found, told as the scan tells it
    std::optional<ModuleFacts> module;
};

// Who ran what where: the same on every row and test case of a run.
struct Trace {
    QString station;
    QString operatorName;
    QString batch;
    QString port;   // the device or URL, never with a secret
    QString portId; // the device's stable name where it has one, else the port again
    QString version;
};

struct Counts {
    int passed = 0;
    int failed = 0;
    int errors = 0;
    int notRun = 0;
    int total() const { return passed + failed + errors + notRun; }
};

class Record {
public:
    Record();

    Trace trace;
    QString suite = QStringLiteral("trivexctl"); // the JUnit suite: a script's name, "commission"
    QString unit = QStringLiteral("steps");      // what the summary counts; empty: no summary
    QString call;                                // the words of the call, for a problem's test case
    QDateTime started;

    // Each new entry, each problem and the end are told to whoever listens (the live views).
    std::function<void(const Entry&)> onEntry;
    std::function<void(int status, const QString& problem)> onProblem;
    std::function<void(const protocol::BusFrame& frame)> onFrame;

    // Records the entry, its time set when it has none.
    void add(Entry entry);
    // A frame heard on the bus, told to whoever listens: what a monitor shows.
    void frame(const protocol::BusFrame& frame) {
        if (onFrame) {
            onFrame(frame);
        }
    }
    // The steps of a run that stopped, recorded as not run, and why.
    void notRun(const Entry& step, const QString& why);

    // A problem that decides the exit status: refused before sending, a port problem, an
    // interruption, a result not recorded, a check failed. The first one of each status is kept
    // and told; one with kPassed is only told.
    void problem(int status, const QString& text);
    // The problem that ended the call before its first step, for a test case of its own.
    const QString& openingProblem() const { return opening_; }

    const std::vector<Entry>& entries() const { return entries_; }
    Counts counts() const;
    int status() const;

private:
    std::vector<Entry> entries_;
    std::vector<int> problems_;
    QString opening_;
};

// Now, in ISO 8601 with milliseconds and the UTC offset: 2026-12-07T14:46:00.123+01:00.
QString isoNow();

// A short SHA-256 of bytes (12 hex digits); empty for none.
QString shortHash(const QByteArray& bytes);

} // namespace trivex::ctl
