#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace trivex::cli {

namespace {

const char* programName = "trivex";
QtMessageHandler previousHandler = nullptr;
// What the window system said while it started, held back: when it fails, one line is all the
// operator needs; when it starts, the messages go out after all.
struct Held {
    QtMsgType type;
    QByteArray category;
    QString message;
};
std::vector<Held>& held() {
    static std::vector<Held> messages;
    return messages;
}

void noDisplay() {
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray display = wayland.isEmpty() ? qgetenv("DISPLAY") : wayland;
    const QByteArray what = display.isEmpty() ? QByteArray("no display to show a window on")
                                              : "the display " + display + " cannot be reached";
    std::fprintf(stderr,
                 "%s: %s: start it in a desktop session, or with QT_QPA_PLATFORM=offscreen for a window "
                 "nobody sees\n",
                 programName, what.constData());
}

// The platform plugin reports a display it cannot reach as a fatal message, then aborts.
void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        noDisplay();
        std::fflush(stderr);
        ::_exit(1);
    }
    held().push_back({type, QByteArray(context.category), message});
}

} // namespace

int refuseCommandLine(const QCommandLineParser& parser, const QString& problem) {
    const QString usage = parser.helpText().section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "%s: %s\n%s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(problem),
                 qPrintable(usage));
    return 2;
}

std::optional<int> handleCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                     const QString& extraHelp) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        return refuseCommandLine(parser, parser.errorText());
    }
    if (parser.isSet(help)) {
        std::printf("%s%s", qPrintable(parser.helpText()), qPrintable(extraHelp));
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

bool checkDisplay(const char* program) {
    programName = program;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool needsDisplay =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (needsDisplay && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        noDisplay();
        return false;
    }
    previousHandler = qInstallMessageHandler(onMessage);
    return true;
}

void displayStarted() {
    qInstallMessageHandler(previousHandler);
    for (const Held& message : held()) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.message);
    }
    held().clear();
}

} // namespace trivex::cli
