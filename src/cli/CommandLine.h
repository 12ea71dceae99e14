#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <optional>

// The command line of both programs, read before any window system is touched, so that --help
// and --version work without a display (over ssh, say).
namespace trivex::cli {

// Parses the program's arguments with --help and --version added. Qt's own options (-platform,
// -style, -display and the others QGuiApplication, QApplication and the X11 platform take, with
// their values) are left to Qt. Prints the help (with extraHelp after it) or the version to
// stdout and gives status 0; prints the error, naming an unknown option as it was typed, and the
// usage line to stderr and gives status 2 for an option neither knows or an argument the program
// does not take (positionalAllowed: whether it takes any). No value when the program is to go on.
std::optional<int> handleCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                     const QString& extraHelp = QString(), bool positionalAllowed = false);

// The arguments without Qt's own options and their values; *qtOptions gets those ("-platform",
// "offscreen", ...). An option of Qt's that lacks its value is left in, to be refused.
QStringList withoutQtOptions(const QStringList& arguments, QStringList* qtOptions = nullptr);

// Prints "program: problem" and the usage line to stderr; gives status 2.
int refuseCommandLine(const QCommandLineParser& parser, const QString& problem);

// Whether a window can be shown. When none can, one line says so on stderr and false comes
// back; should the window system still fail to start later, the same line ends the program
// with status 1 instead of an abort.
bool checkDisplay(const char* program);
// The window system is up: its messages go their usual way again.
void displayStarted();

} // namespace trivex::cli
