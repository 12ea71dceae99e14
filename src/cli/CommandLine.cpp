#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace trivex::cli {

namespace {

const char* programName = "trivex";
// The platform and display the command line asks Qt for, if it does.
QString platformAsked;
QString displayAsked;

// Qt's own options, as QGuiApplication, QApplication and the X11 platform read them: "-name",
// or "--name", followed by its value where it takes one; style, stylesheet and qmljsdebugger
// also as "-name=value".
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"reverse", false},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"widgetcount", false},
    {"qmljsdebugger", true},   {"display", true},
    {"geometry", true},        {"name", true},
    {"title", true},           {"icon", true},
    {"visual", true},          {"cmap", false},
    {"sync", false},           {"nograb", false},
    {"dograb", false},         {"testability", false},
};
constexpr const char* kAttachedValue[] = {"style", "stylesheet", "qmljsdebugger"};

const QtOption* qtOption(const QString& argument, bool* attached) {
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("--")) {
        return nullptr;
    }
    const QString bare = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const QString name = bare.section(QLatin1Char('='), 0, 0);
    *attached = bare.contains(QLatin1Char('='));
    for (const QtOption& option : kQtOptions) {
        if (name != QLatin1String(option.name)) {
            continue;
        }
        if (*attached && std::none_of(std::begin(kAttachedValue), std::end(kAttachedValue),
                                      [&](const char* n) { return name == QLatin1String(n); })) {
            return nullptr;
        }
        return &option;
    }
    return nullptr;
}

// An option as the operator typed it ("-foo", "--foo"), for the message that refuses it.
QString typedOption(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments.mid(1)) {
        const QString bare = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (argument.startsWith(QLatin1Char('-')) && bare.section(QLatin1Char('='), 0, 0) == name) {
            return argument;
        }
    }
    return QLatin1Char('-') + name;
}
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
    const QByteArray display = !displayAsked.isEmpty() ? displayAsked.toLocal8Bit()
                               : wayland.isEmpty()     ? qgetenv("DISPLAY")
                                                       : wayland;
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

QStringList withoutQtOptions(const QStringList& arguments, QStringList* qtOptions) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool attached = false;
        const QtOption* option = i > 0 ? qtOption(arguments[i], &attached) : nullptr;
        const bool separateValue = option && option->takesValue && !attached;
        if (!option || (separateValue && i + 1 == arguments.size())) {
            kept << arguments[i];
            continue;
        }
        const QString value = separateValue ? arguments[i + 1] : arguments[i].section(QLatin1Char('='), 1);
        if (qtOptions) {
            *qtOptions << arguments.mid(i, separateValue ? 2 : 1);
        }
        const QString name = QString::fromLatin1(option->name);
        if (name == QLatin1String("platform")) {
            platformAsked = value;
        } else if (name == QLatin1String("display")) {
            displayAsked = value;
        }
        i += separateValue ? 1 : 0;
    }
    return kept;
}

std::optional<int> handleCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                                     const QString& extraHelp, bool positionalAllowed) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // "-foo" is one unknown option "foo", never the letters f, o, o.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList own = withoutQtOptions(arguments);
    if (!parser.parse(own)) {
        const QStringList unknown = parser.unknownOptionNames();
        bool attached = false;
        if (!unknown.isEmpty() && own.last() == typedOption(own, unknown.first()) &&
            qtOption(own.last(), &attached)) {
            return refuseCommandLine(parser, QStringLiteral("option \"%1\" needs a value").arg(own.last()));
        }
        return refuseCommandLine(
            parser, unknown.isEmpty()
                        ? parser.errorText()
                        : QStringLiteral("unknown option \"%1\"").arg(typedOption(own, unknown.first())));
    }
    if (!positionalAllowed && !parser.positionalArguments().isEmpty()) {
        return refuseCommandLine(
            parser, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
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
    const QByteArray platform =
        platformAsked.isEmpty() ? qgetenv("QT_QPA_PLATFORM") : platformAsked.toLocal8Bit();
    const bool needsDisplay =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (needsDisplay && displayAsked.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
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
