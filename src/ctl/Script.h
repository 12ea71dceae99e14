#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Test scripts: one step per line, words and arguments as a shell would split them.
namespace trivex::ctl {

// A line split into words: blanks separate them, double quotes hold blanks together ("LINE 1"),
// and inside quotes \" and \\ stand for " and \. A # that begins a word begins a comment to the
// end of the line. No value, and *why set, for a quote left open.
std::optional<QStringList> splitLine(const QString& line, QString* why);

// One line of a script that holds a step.
struct ScriptLine {
    int number = 0; // from 1
    QStringList words;
};

// The lines of a script file that hold a step (blank lines and comments left out); no value, and
// *why naming the file (and the line), for a file that cannot be read or a line that cannot be
// split.
std::optional<std::vector<ScriptLine>> readScript(const QString& path, QString* why);
// The same for a script's text (UTF-8), named name in what *why says.
std::optional<std::vector<ScriptLine>> readScriptText(const QByteArray& text, const QString& name,
                                                      QString* why);

} // namespace trivex::ctl
