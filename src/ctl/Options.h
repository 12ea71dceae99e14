#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// trivexctl's command line: the program's options, then the words.
namespace trivex::ctl {

// Exit statuses. When several hold, the first of kNotRecorded, kRefused, kPortProblem,
// kInterrupted and kFailed is the one.
enum Status {
    kPassed = 0,
    kFailed = 1,      // a check failed
    kRefused = 2,     // refused before a byte was sent
    kPortProblem = 3, // the port could not be opened, or was lost
    kNotRecorded = 4, // a result could not be recorded (the report or a log row not written)
    kInterrupted = 5, // stopped by a signal, or by standard input ending at a prompt
};

struct Options {
    std::optional<QString> port; // "COM3", a device path, a URL; none: the port the settings name
    QString speed;               // "4800" or "9600"; empty: the speed the settings name
    std::optional<QString> ini;  // the settings file; none: trivex's own
    QString report;              // a JUnit report goes to this file
    bool json = false;           // a JSON object per step instead of a line of text
    bool ignoreEcho = false;     // take the adapter's echo out of what is read
    QString station;             // who ran it, for the record: empty for the host name,
    QString operatorName;        // ... the login name,
    QString batch;               // ... and an identifier made at the start
    bool help = false;
    bool version = false;
    QStringList words; // the first word and everything after it
};

// The options before the first word; no value, and *why set, for an unknown option or one
// without its value.
std::optional<Options> parseOptions(const QStringList& arguments, QString* why);

// The options of one word ("scan --from 100 --to 110"): each NAME takes a value, a NAME in
// flags none. The values by name; no value, and *why set, for an unknown or incomplete option.
// A value may itself be a list of several words: counts says how many a name takes (1 if not).
std::optional<QMap<QString, QStringList>> parseWordOptions(const QStringList& arguments,
                                                           const QMap<QString, int>& counts, QString* why);

// A whole number from first to last given to option name, into *value; why not, or empty.
QString wholeNumber(const QString& name, const QString& text, int first, int last, int* value);

QString usage();

} // namespace trivex::ctl
