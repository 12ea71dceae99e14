#include "ctl/Commission.h"

#include "ctl/Options.h"
#include "link/BusScan.h"
#include "protocol/Configuration.h"
#include "protocol/Display.h"
#include "protocol/Text.h"
#include "session/DisplayText.h"
#include "session/Texts.h"
#include "settings/CharacterSet.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

namespace trivex::ctl {

namespace {

const QMap<QString, int> kOptions{{QStringLiteral("--first"), 1},    {QStringLiteral("--count"), 1},
                                  {QStringLiteral("--speed"), 1},    {QStringLiteral("--screen"), 2},
                                  {QStringLiteral("--chars"), 1},    {QStringLiteral("--log"), 1},
                                  {QStringLiteral("--no-prompt"), 0}};

struct Plan {
    int first = 0;
    int count = 0;
    int speed = 0;                                        // 0: the port's
    std::vector<protocol::ConfigurationCommand> commands; // after Set UID, before Set Baud Rate
    QString log;
    bool prompt = true;
};

// The plan the options give; *why set when they give none.
std::optional<Plan> planOf(const QStringList& arguments, QString* why) {
    const auto values = parseWordOptions(arguments, kOptions, why);
    if (!values) {
        return std::nullopt;
    }
    Plan plan;
    for (const QString& needed : {QStringLiteral("--first"), QStringLiteral("--count")}) {
        if (!values->contains(needed)) {
            *why = needed + QStringLiteral(" is needed");
            return std::nullopt;
        }
    }
    const auto first = protocol::parseByte(values->value(QStringLiteral("--first")).first().toStdString());
    bool counted = false;
    plan.count = values->value(QStringLiteral("--count")).first().toInt(&counted);
    if (!first || !counted || plan.count < 1 || *first + plan.count - 1 > 255) {
        *why = QStringLiteral("--first and --count: addresses from 0 to 255, at least one module");
        return std::nullopt;
    }
    plan.first = *first;
    if (values->contains(QStringLiteral("--speed"))) {
        const QString speed = values->value(QStringLiteral("--speed")).first();
        if (speed != QLatin1String("4800") && speed != QLatin1String("9600")) {
            *why = QStringLiteral("--speed %1: 4800 or 9600").arg(speed);
            return std::nullopt;
        }
        plan.speed = speed.toInt();
    }
    if (values->contains(QStringLiteral("--screen"))) {
        const QStringList lines = values->value(QStringLiteral("--screen"));
        const auto command = session::defaultScreenCommand(lines[0], lines[1], why);
        if (!command) {
            return std::nullopt;
        }
        plan.commands.push_back(*command);
    }
    if (values->contains(QStringLiteral("--chars"))) {
        const QString path = values->value(QStringLiteral("--chars")).first();
        const auto set = settings::readCharacterSet(path, why);
        if (!set) {
            *why = QStringLiteral("character set %1 refused: %2").arg(path, *why);
            return std::nullopt;
        }
        plan.commands.push_back(protocol::loadCustomCharacters(*set));
    }
    plan.log = values->value(QStringLiteral("--log")).value(0);
    if (!plan.log.isEmpty()) {
        QFile log(plan.log);
        if (!log.open(QIODevice::Append | QIODevice::Text)) {
            *why = QStringLiteral("the log %1 cannot be written: %2").arg(plan.log, log.errorString());
            return std::nullopt;
        }
    }
    plan.prompt = !values->contains(QStringLiteral("--no-prompt"));
    return plan;
}

// Whether a module answers at address at one of the speeds: probed as the scan probes.
std::optional<int> answeringSpeed(link::Link& link, int address, const std::vector<int>& speeds) {
    link::BusScan probe(link);
    QEventLoop loop;
    QObject::connect(&probe, &link::BusScan::finished, &loop, &QEventLoop::quit);
    if (!probe.start(address, address, speeds).isEmpty()) {
        return std::nullopt;
    }
    loop.exec();
    return probe.findings().empty() ? std::nullopt : std::optional<int>(probe.findings().front().speed);
}

void appendToLog(const QString& path, const QStringList& row) {
    if (path.isEmpty()) {
        return;
    }
    QFile log(path);
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        if (log.size() == 0) {
            log.write("time,address,speed,result,reply_ms,input\n");
        }
        QStringList quoted;
        for (const QString& field : row) {
            quoted << (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
                           ? QLatin1Char('"') +
                                 QString(field).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                                 QLatin1Char('"')
                           : field);
        }
        log.write((quoted.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
    }
}

} // namespace

QString checkCommission(const QStringList& arguments) {
    QString why;
    return planOf(arguments, &why) ? QString() : QStringLiteral("commission: ") + why;
}

int commission(session::PortSession& session, const QStringList& arguments,
               const std::function<void(const StepResult&)>& report) {
    QString why;
    const Plan plan = *planOf(arguments, &why);
    link::Link& link = session.link();
    link::SerialControl& port = session.MSComm1();
    const QString portSettings = port.Settings();
    const int portSpeed = portSettings.section(QLatin1Char(','), 0, 0).toInt();
    const int speed = plan.speed ? plan.speed : portSpeed;
    const QString speedSettings =
        QStringLiteral("%1,%2").arg(speed).arg(portSettings.section(QLatin1Char(','), 1));
    // Off a terminal a line on standard input stands for Enter; at its end the rest go on at once.
    bool promptsOff = !plan.prompt;
    for (int i = 0; i < plan.count; ++i) {
        const int address = plan.first + i;
        StepResult result{QStringLiteral("module %1 of %2").arg(i + 1).arg(plan.count),
                          QStringLiteral("commission %1").arg(address),
                          false,
                          0,
                          {}};
        if (!promptsOff &&
            !Runner::prompt(
                QStringLiteral("Connect module %1 of %2 alone on the bus (it becomes %3 at %4 bit/s), then "
                               "press Enter. Configuration commands reach every module on the bus.")
                    .arg(i + 1)
                    .arg(plan.count)
                    .arg(address)
                    .arg(speed))) {
            promptsOff = true; // no more lines to come: the rest go on at once
        }
        QElapsedTimer timer;
        timer.start();
        port.switchSettings(portSettings);
        std::vector<int> speeds{portSpeed};
        if (speed != portSpeed) {
            speeds.push_back(speed);
        }
        QString failure;
        double replyMs = 0;
        QString input = QStringLiteral("-");
        if (const auto taken = answeringSpeed(link, address, speeds)) {
            failure = QStringLiteral("address %1 already answers at %2 bit/s: another module has it")
                          .arg(address)
                          .arg(*taken);
        } else {
            // The speed command last: the module takes its new speed on from its stop frame on.
            std::vector<protocol::ConfigurationCommand> commands{
                protocol::setUid(static_cast<std::uint8_t>(address))};
            commands.insert(commands.end(), plan.commands.begin(), plan.commands.end());
            commands.push_back(protocol::setLineSpeed(speed == 4800 ? protocol::LineSpeed::Baud4800
                                                                    : protocol::LineSpeed::Baud9600));
            for (const protocol::ConfigurationCommand& command : commands) {
                if (failure.isEmpty() && !link.writeConfiguration(command.write1, command.write2)) {
                    failure = texts::kPortNotOpen;
                }
            }
            // The speed command goes out at the old speed before the port changes to the new one.
            const auto last = commands.back().write1.size() + commands.back().write2.size();
            Runner::pause(static_cast<int>(std::ceil(10000.0 * static_cast<double>(last) / portSpeed)) +
                          static_cast<int>(link::kTickLength.count()));
            port.switchSettings(speedSettings);
            QElapsedTimer sinceSelect;
            const auto connection = QObject::connect(&port, &link::SerialControl::OnComm, &port, [&] {
                if (replyMs == 0) {
                    replyMs = static_cast<double>(sinceSelect.nsecsElapsed()) / 1e6;
                }
            });
            sinceSelect.start();
            if (failure.isEmpty() && !link.selectDevice(static_cast<std::uint8_t>(address))) {
                failure = QStringLiteral("%1 at %2 after its configuration")
                              .arg(texts::kDeviceNotFound)
                              .arg(address);
            }
            QObject::disconnect(connection);
            if (failure.isEmpty()) {
                link.SendCommand(protocol::showDefaultScreen());
                const link::InputOutcome level = link.queryInput();
                input = !level.answered ? texts::kNoResponse
                        : level.level
                            ? (*level.level == protocol::InputLevel::High ? texts::kHigh : texts::kLow)
                            : QStringLiteral("no level");
                link.releaseDevice();
                if (!level.answered) {
                    failure =
                        QStringLiteral("the input query at %1 got %2").arg(address).arg(texts::kNoResponse);
                }
            }
        }
        result.ok = failure.isEmpty();
        result.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        result.outcome = result.ok ? QStringLiteral("%1 at %2 bit/s, acknowledged after %3 ms, input %4")
                                         .arg(address)
                                         .arg(speed)
                                         .arg(replyMs, 0, 'f', 1)
                                         .arg(input)
                                   : failure;
        appendToLog(plan.log,
                    {QDateTime::currentDateTime().toString(Qt::ISODateWithMs), QString::number(address),
                     QString::number(speed), result.ok ? QStringLiteral("ok") : failure,
                     QString::number(replyMs, 'f', 1), input});
        report(result);
        port.switchSettings(portSettings);
        if (!result.ok) {
            std::fprintf(stderr,
                         "trivexctl: commissioning stopped at module %d of %d (address %d): %s\n"
                         "trivexctl: resume with --first %d --count %d\n",
                         i + 1, plan.count, address, qPrintable(failure), address, plan.count - i);
            return session.MSComm1().PortOpen() ? kFailed : kPortProblem;
        }
    }
    return kPassed;
}

} // namespace trivex::ctl
