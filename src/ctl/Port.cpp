#include "ctl/Port.h"

#include "link/LineSettings.h"
#include "link/NetworkAddress.h"
#include "settings/Profile.h"

#include <QEventLoop>
#include <QFileInfo>

namespace trivex::ctl {

namespace {

const QString kDefaultSettings = QStringLiteral("9600,n,8,1");

QString key(const QString& name) {
    return settings::ReadINI(QStringLiteral("Settings"), name).trimmed();
}

QString inFile(const QString& key, const QString& value) {
    return QStringLiteral("%1=\"%2\" in [Settings] of %3").arg(key, value, settings::settingsFile());
}

// The settings file that --ini names, checked; why it cannot be used, or empty.
QString useIni(const std::optional<QString>& ini) {
    if (!ini) {
        return {};
    }
    if (ini->trimmed().isEmpty()) {
        return QStringLiteral("--ini is empty: name the settings file, or leave the option out");
    }
    const QFileInfo file(*ini);
    if (!file.exists()) {
        return QStringLiteral("--ini %1: there is no such file").arg(*ini);
    }
    if (!file.isFile()) {
        return QStringLiteral("--ini %1 is %2, not a settings file")
            .arg(*ini, file.isDir() ? QStringLiteral("a directory") : QStringLiteral("no regular file"));
    }
    settings::useSettingsFile(file.absoluteFilePath());
    return {};
}

// Waits until a port on the network has connected or failed: told within a few seconds.
void waitWhileConnecting(session::PortSession& session) {
    if (!session.MSComm1().isConnecting()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&session, &session::PortSession::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&session, &session::PortSession::portLost, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

std::optional<PortPlan> planPort(const Options& options, QString* refusal) {
    if (*refusal = useIni(options.ini); !refusal->isEmpty()) {
        return std::nullopt;
    }
    // A settings file that cannot be read now is not taken for one that names nothing.
    if (const QString problem = settings::settingsFileProblem(); !problem.isEmpty()) {
        *refusal = QStringLiteral("the settings file %1 cannot be read as settings: %2")
                       .arg(settings::settingsFile(), problem);
        return std::nullopt;
    }
    PortPlan plan;
    if (options.port) {
        plan.name = options.port->trimmed();
        if (plan.name.isEmpty()) {
            *refusal =
                QStringLiteral("--port is empty: name the port (COM1 to COM%1, a device path or a URL)")
                    .arg(link::kComNumbers);
            return std::nullopt;
        }
    } else {
        const QString stored = key(QStringLiteral("CommPort"));
        if (stored.isEmpty()) {
            *refusal = QStringLiteral("no port is named: give --port, or CommPort under [Settings] in %1")
                           .arg(settings::settingsFile());
            return std::nullopt;
        }
        const auto number = link::parseCommPort(stored);
        if (!number || *number < 1 || *number > link::kComNumbers) {
            *refusal = inFile(QStringLiteral("CommPort"), stored) +
                       QStringLiteral(" is no COM number from 1 to %1").arg(link::kComNumbers);
            return std::nullopt;
        }
        plan.name = QStringLiteral("COM%1").arg(*number);
    }
    if (plan.name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) &&
        !plan.name.contains(QLatin1Char('/'))) {
        const auto number = link::parseCommPort(plan.name.mid(3));
        if (!number || *number < 1 || *number > link::kComNumbers) {
            *refusal = QStringLiteral("%1 is not COM1 to COM%2").arg(plan.name).arg(link::kComNumbers);
            return std::nullopt;
        }
        const link::PortMap ports(
            [](int n) { return settings::ReadINI(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(n)); });
        const link::PortChoice choice = ports.choice(*number);
        if (choice.device.isEmpty() || (choice.origin == link::PortChoice::Origin::Default && !choice.info)) {
            *refusal =
                QStringLiteral("COM%1 stands for no device: no key COM%1 under [Ports] in %2 names one, "
                               "and no serial device of this machine has the number")
                    .arg(*number)
                    .arg(settings::settingsFile());
            return std::nullopt;
        }
        plan.number = *number;
        plan.raw = link::isRawNetworkPort(choice.device);
        if (link::isNetworkPort(choice.device)) {
            QString why;
            if (!link::parseNetworkAddress(choice.device, &why)) {
                *refusal = QStringLiteral("COM%1 is %2, which %3")
                               .arg(*number)
                               .arg(link::shownPortName(choice.device), why);
                return std::nullopt;
            }
        }
    } else if (link::isNetworkPort(plan.name)) {
        QString why;
        const QString shown = link::shownPortName(plan.name);
        if (!link::parseNetworkAddress(plan.name, &why)) {
            *refusal = QStringLiteral("--port %1 %2").arg(shown, why);
            return std::nullopt;
        }
        plan.name = shown;
        plan.raw = link::isRawNetworkPort(plan.name);
    }
    if (!options.speed.isEmpty()) {
        if (plan.raw) {
            *refusal = QStringLiteral("--speed %1: %2 is a raw network port, whose line runs at the server's "
                                      "speed; set it there, or use an rfc2217:// port")
                           .arg(options.speed, plan.name);
            return std::nullopt;
        }
        plan.settings = options.speed + QStringLiteral(",n,8,1");
    } else {
        const QString stored = key(QStringLiteral("Setting"));
        if (!stored.isEmpty() && !link::parseLineSettings(stored)) {
            *refusal =
                inFile(QStringLiteral("Setting"), stored) + QStringLiteral(" is not of the form 9600,n,8,1");
            return std::nullopt;
        }
        plan.settings = stored.isEmpty() ? kDefaultSettings : stored;
    }
    const QString echo = key(QStringLiteral("IgnoreEcho"));
    const std::optional<bool> ignore = session::parseFlag(echo);
    if (!ignore && !options.ignoreEcho) {
        *refusal = inFile(QStringLiteral("IgnoreEcho"), echo) +
                   QStringLiteral(" is none of 1, 0, true, false, yes, no");
        return std::nullopt;
    }
    plan.ignoreEcho = options.ignoreEcho || *ignore;
    return plan;
}

QString deviceOf(const PortPlan& plan) {
    if (plan.number == 0) {
        return plan.name;
    }
    const link::PortMap ports(
        [](int n) { return settings::ReadINI(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(n)); });
    return ports.choice(plan.number).device;
}

QString openPort(session::PortSession& session, const PortPlan& plan) {
    session.setIgnoreEcho(plan.ignoreEcho);
    if (plan.number > 0) {
        session.switchPort(plan.number, plan.settings);
    } else {
        session.openDevice(plan.name, plan.settings);
    }
    waitWhileConnecting(session);
    if (session.MSComm1().PortOpen()) {
        return {};
    }
    return plan.number > 0 ? session.portState()
                           : session::capitalised(session.closedReason()) + QLatin1Char('.');
}

std::pair<QString, QString> portTrace(const session::PortSession& session, const PortPlan& plan) {
    const link::SerialControl& port = session.MSComm1();
    const QString device = link::shownPortName(port.devicePath().isEmpty() ? plan.name : port.devicePath());
    const QString id = link::shownPortName(port.identity().describe());
    return {device, id.isEmpty() ? device : id};
}

} // namespace trivex::ctl
