#include "sim/runtime/Options.h"

#include "cli/CommandLine.h"
#include "protocol/Text.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace trivex::sim {

namespace {

std::optional<ModuleSettings> moduleFrom(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    const auto address = protocol::parseByte(parts[0].toStdString());
    if (!address || parts.size() > 2) {
        return std::nullopt;
    }
    ModuleSettings module;
    module.address = *address;
    if (parts.size() == 2) {
        if (parts[1] != QLatin1String("9600") && parts[1] != QLatin1String("4800")) {
            return std::nullopt;
        }
        module.lineSpeed = parts[1].toInt();
    }
    return module;
}

// The options' values, checked.
std::optional<Options> readOptions(const QCommandLineParser& parser, QString* error) {
    Options options;
    options.linkPath = parser.value(QStringLiteral("link"));
    for (const QString& text : parser.values(QStringLiteral("module"))) {
        const auto settings = moduleFrom(text);
        if (!settings) {
            *error = QStringLiteral("--module %1: expected ADDRESS (0-255) with an optional :9600 or :4800")
                         .arg(text);
            return std::nullopt;
        }
        options.modules.push_back(*settings);
    }
    if (options.modules.empty()) {
        options.modules.emplace_back();
    }
    for (const QString& text : parser.values(QStringLiteral("input-high"))) {
        const auto address = protocol::parseByte(text.toStdString());
        if (!address) {
            *error = QStringLiteral("--input-high %1: expected an address 0-255").arg(text);
            return std::nullopt;
        }
        options.inputHigh.push_back(*address);
    }
    bool ok = false;
    options.answerDelayMs = parser.value(QStringLiteral("delay")).toInt(&ok);
    if (!ok || options.answerDelayMs < 0 || options.answerDelayMs > 10000) {
        *error = QStringLiteral("--delay %1: expected milliseconds 0-10000")
                     .arg(parser.value(QStringLiteral("delay")));
        return std::nullopt;
    }
    options.latencyMs = parser.value(QStringLiteral("latency")).toInt(&ok);
    if (!ok || options.latencyMs < 0 || options.latencyMs > 255) {
        *error = QStringLiteral("--latency %1: expected milliseconds 0-255")
                     .arg(parser.value(QStringLiteral("latency")));
        return std::nullopt;
    }
    options.tapPath = parser.value(QStringLiteral("tap"));
    options.answerStopFrame = parser.isSet(QStringLiteral("answer-stop"));
    options.echo = parser.isSet(QStringLiteral("echo"));
    options.headless = parser.isSet(QStringLiteral("headless"));
    options.statePath = parser.value(QStringLiteral("state"));
    options.attachIni = parser.value(QStringLiteral("attach"));
    if (parser.isSet(QStringLiteral("listen"))) {
        const QString text = parser.value(QStringLiteral("listen"));
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        QString host = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
            host = host.mid(1, host.size() - 2);
        }
        bool number = false;
        const int port = text.mid(colon + 1).toInt(&number);
        if (!number || port < 0 || port > 65535 || host.isEmpty() || QHostAddress(host).isNull()) {
            *error =
                QStringLiteral("--listen %1: expected [HOST:]PORT, HOST an IP address and PORT 0 to 65535")
                    .arg(text);
            return std::nullopt;
        }
        if (port == 0 && !options.attachIni.isEmpty()) {
            *error =
                QStringLiteral("--listen %1: --attach needs the port number the bus will have").arg(text);
            return std::nullopt;
        }
        options.listenHost = host;
        options.listenPort = port;
    }
    return options;
}

} // namespace

QString Options::portUrl() const {
    if (listenPort < 0) {
        return linkPath;
    }
    const QString host =
        listenHost.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(listenHost) : listenHost;
    return QStringLiteral("rfc2217://%1:%2").arg(host).arg(listenPort);
}

std::optional<Options> parseOptions(const QStringList& arguments, int* status) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Virtual TRIVEX modules on a pseudo-terminal or the network, for trivex without hardware."));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Publish the bus at PATH (default /tmp/trivex-bus)."),
                                  QStringLiteral("PATH"), QStringLiteral("/tmp/trivex-bus"));
    const QCommandLineOption module(
        QStringLiteral("module"),
        QStringLiteral("A module at ADDRESS, listening at SPEED 9600 (default) or 4800; "
                       "repeat for several (two at one address answer at once and garble each other). "
                       "Default: one module at 101."),
        QStringLiteral("ADDRESS[:SPEED]"));
    const QCommandLineOption input(QStringLiteral("input-high"),
                                   QStringLiteral("The input line of the module at ADDRESS starts HIGH."),
                                   QStringLiteral("ADDRESS"));
    const QCommandLineOption delay(
        QStringLiteral("delay"),
        QStringLiteral("Answer MS milliseconds after a frame, plus its wire time (default 2)."),
        QStringLiteral("MS"), QStringLiteral("2"));
    const QCommandLineOption latency(
        QStringLiteral("latency"),
        QStringLiteral("Hold what the program reads until the next tick of an MS timer, as a USB adapter's "
                       "latency timer does (default 0: at once)."),
        QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption tap(
        QStringLiteral("tap"),
        QStringLiteral("Publish a second pseudo-terminal at PATH that sees every byte on the bus, both ways, "
                       "and takes none: for a listening monitor."),
        QStringLiteral("PATH"));
    const QCommandLineOption answerStop(QStringLiteral("answer-stop"),
                                        QStringLiteral("Acknowledge the stop frame too."));
    const QCommandLineOption echo(
        QStringLiteral("echo"),
        QStringLiteral("Hand back every byte written, as an adapter that echoes does."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("No window: print every decoded frame and command, and each changed display."));
    const QCommandLineOption state(QStringLiteral("state"),
                                   QStringLiteral("Keep the modules' settings in FILE over restarts."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption attach(
        QStringLiteral("attach"),
        QStringLiteral("Point the port configured in INI at the bus when it names none that is present."),
        QStringLiteral("INI"));
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Serve the bus on the network at [HOST:]PORT instead of a pseudo-terminal, as "
                       "RFC 2217 or raw bytes, whichever a connection speaks; on the loopback interface "
                       "unless HOST is given."),
        QStringLiteral("[HOST:]PORT"));
    parser.addOptions(
        {link, module, input, delay, latency, tap, answerStop, echo, headless, state, attach, listen});
    if (const auto done = cli::handleCommandLine(parser, arguments)) {
        *status = *done;
        return std::nullopt;
    }
    QString problem;
    const std::optional<Options> options = readOptions(parser, &problem);
    if (!options) {
        *status = cli::refuseCommandLine(parser, problem);
    }
    return options;
}

} // namespace trivex::sim
