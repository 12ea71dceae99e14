#pragma once

#include "protocol/Bytes.h"
#include "protocol/Configuration.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The words of the command line and of test scripts, each checked whole into a step before the
// first byte of any of them is sent.
namespace trivex::ctl {

struct Step {
    enum class Kind {
        Select,    // a start frame, and its acknowledge awaited
        Release,   // a stop frame, and its acknowledge awaited
        Input,     // the input status query
        Text,      // a line of the display's text, sent with the other line as "Send Text" does
        Clear,     // the display cleared, and both lines of text with it
        Send,      // a display command or raw bytes
        Configure, // a configuration command through the configuration address
        Pause,
        Prompt,
        Expect, // "expect answer" or "expect no-answer": read into the exchange before it
    };
    Kind kind = Kind::Send;
    QString command; // as written: "select 101"
    QString where;   // "argument 3", "test.txt:4"
    protocol::Bytes bytes;
    protocol::ConfigurationCommand configuration;
    QString text;                   // the address as typed, a line's text, what a prompt asks
    int number = 0;                 // the address, line number or pause in milliseconds
    bool expectAnswer = true;       // an exchange: whether an answer is the outcome wanted
    std::optional<bool> expectHigh; // an input query checked against a level
    std::optional<int> speedAfter;  // a speed command: the speed the module takes on
};

// The words, a line each, for --help.
QString wordsHelp();

// Reads the words from position *at on: one step, its fixed number of arguments checked. No
// value, and *why set, for an unknown word, a missing or bad argument.
std::optional<Step> readStep(const QStringList& words, qsizetype* at, const QString& where, QString* why);

// All the steps of a call: the words on the command line, a script where "run FILE" names one
// ("expect answer" and "expect no-answer" go with the exchange before them). Checked whole, so
// that nothing is sent when anything is refused; *why names the file and line, or the argument.
std::optional<std::vector<Step>> readSteps(const QStringList& words, QString* why);

} // namespace trivex::ctl
