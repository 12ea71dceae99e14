#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// trivexctl's command line: the program's options, then the words.
namespace trivex::ctl {

// Exit statuses.
enum Status { kPassed = 0, kFailed = 1, kRefused = 2, kPortProblem = 3 };

struct Options {
    QString port;      // "COM3", a device path; empty: the port the settings name
    QString speed;     // "4800" or "9600"; empty: the speed the settings name
    QString ini;       // the settings file; empty: trivex's own
    QString report;    // a JUnit report goes to this file
    bool json = false; // a JSON object per step instead of a line of text
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

QString usage();

} // namespace trivex::ctl
