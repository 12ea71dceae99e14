#include "session/PortSession.h"

#include "link/LineSettings.h"
#include "protocol/Bytes.h"
#include "protocol/Markers.h"
#include "settings/Profile.h"

#include <QFileInfo>
#include <algorithm>

namespace trivex::session {

namespace {

const QString kDefaultSettings = QStringLiteral("9600,n,8,1");
// What an answer needs of the reply window beyond the wire and the round trip: the module's
// time to answer and the up to 16 ms that USB adapters hold small reads.
constexpr double kAnswerRoomMs = 20;
const QString kNoPortSet =
    QStringLiteral("No port is set yet: choose the COM number of the adapter and press SET.");

// COM n stands for the device that section "Ports" names for it, else for a serial device found
// on this machine, else for the n-th on-board port.
QString portsKey(int number) {
    return settings::ReadINI(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(number));
}

// For a port on the network, the round trip measured when it connected, and whether it leaves
// the reply window room for the answer: the request and the answer on the wire, the module's
// time to answer and an adapter's hold of small reads.
QString roundTrip(const link::SerialControl& port) {
    const double ms = port.roundTripMs();
    if (ms <= 0) {
        return {};
    }
    const double window = link::kReplyTicks * static_cast<double>(link::kTickLength.count());
    const double wire = protocol::wireMs(4, port.Settings().section(QLatin1Char(','), 0, 0).toInt());
    const double left = window - ms - wire;
    QString text = QStringLiteral(", round trip %1 ms").arg(ms, 0, 'f', 1);
    if (left < kAnswerRoomMs) {
        text += QStringLiteral(": it leaves %1 ms of the %2 ms reply window, too little for the modules' "
                               "answers to come in time")
                    .arg(std::max(0.0, left), 0, 'f', 0)
                    .arg(window, 0, 'f', 0);
    }
    return text;
}

} // namespace

bool startUpNeedsDevices() {
    const std::optional<int> number =
        link::parseCommPort(settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("CommPort")));
    const QString key = number ? portsKey(*number).trimmed() : QString();
    return key.isEmpty() || QFileInfo::exists(key);
}

std::optional<bool> parseFlag(const QString& text) {
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("1") || word == QLatin1String("true") || word == QLatin1String("yes")) {
        return true;
    }
    if (word.isEmpty() || word == QLatin1String("0") || word == QLatin1String("false") ||
        word == QLatin1String("no")) {
        return false;
    }
    return std::nullopt;
}

QString capitalised(const QString& text) {
    // A reason may begin with the port's name: a URL keeps its case.
    return text.isEmpty() || link::isNetworkPort(text) ? text : text.front().toUpper() + text.mid(1);
}

PortSession::PortSession(QObject* parent)
    : QObject(parent)
    , link_(variables_)
    , ports_(portsKey) {
    link::SerialControl& port = link_.MSComm1;
    port.setDeviceResolver([this](int number) {
        if (!device_.isEmpty()) {
            link::PortChoice choice;
            choice.number = number;
            choice.device = device_;
            choice.origin = link::PortChoice::Origin::Keyed;
            return choice;
        }
        return ports_.choice(number);
    });
    connect(&port, &link::SerialControl::portLost, this, [this](const QString& reason) {
        emit stateChanged();
        emit portLost(reason);
    });
    connect(&port, &link::SerialControl::reopened, this, &PortSession::stateChanged);
    connect(&port, &link::SerialControl::connected, this, &PortSession::stateChanged);
    port.setRThreshold(protocol::kAcknowledgeLength);
    port.setInputMode(1);
    ignoreEcho_ = parseFlag(settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("IgnoreEcho")))
                      .value_or(false);
    port.setEchoStripping(ignoreEcho_);
    // A port is its device: its number stands for that device for the rest of the run.
    connect(&port, &link::SerialControl::opened, this,
            [this] { ports_.pin(link_.MSComm1.CommPort(), link_.MSComm1.identity()); });
}

bool PortSession::openAtStartUp() {
    link::SerialControl& port = link_.MSComm1;
    variables_.strCommPort = settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("CommPort"));
    variables_.strSettings = settings::ReadINI(QStringLiteral("Settings"), QStringLiteral("Setting"));
    std::optional<int> number = link::parseCommPort(variables_.strCommPort);
    // Only a first start, with no settings file at all, takes the one device present: a file
    // that names no port, or that cannot be read now (held too long, no INI file), is no first
    // start, and the port stays unchosen until the operator chooses it.
    const QFileInfo file(settings::settingsFile());
    if (!number && !file.exists() && !file.isSymLink()) {
        const std::vector<link::SerialDevice> devices = link::presentDevices();
        for (int n = 1; n <= link::kComNumbers && devices.size() == 1; ++n) {
            if (ports_.choice(n).info) {
                number = n;
                variables_.strCommPort = QString::number(n);
                if (!link::parseLineSettings(variables_.strSettings)) {
                    variables_.strSettings = kDefaultSettings;
                }
                break;
            }
        }
    }
    port.setCommPort(number.value_or(0));
    port.setSettings(variables_.strSettings);
    const bool opened = number && port.setPortOpen(true);
    emit stateChanged();
    return opened;
}

bool PortSession::switchPort(int number, const QString& settings) {
    link::SerialControl& port = link_.MSComm1;
    if (port.PortOpen()) {
        port.setPortOpen(false);
    }
    variables_.strCommPort = QString::number(number);
    variables_.strSettings = settings;
    port.setCommPort(number);
    port.setSettings(settings);
    const bool opened = port.setPortOpen(true);
    emit stateChanged();
    return opened;
}

bool PortSession::openDevice(const QString& path, const QString& settings) {
    device_ = path;
    return switchPort(1, settings);
}

QString PortSession::closedReason() const {
    return link_.MSComm1.closedReason();
}

QString PortSession::portState() const {
    const link::SerialControl& port = link_.MSComm1;
    if (port.CommPort() == 0) {
        QString state = kNoPortSet;
        if (const QString problem = settings::settingsFileProblem(); !problem.isEmpty()) {
            state += QStringLiteral(" The settings file %1 is not read: %2.")
                         .arg(settings::settingsFile(), problem);
        }
        return state;
    }
    const link::PortChoice choice = ports_.choice(port.CommPort());
    QString device = link::shownPortName(choice.device);
    if (choice.info && !choice.info->summary().isEmpty()) {
        device += QStringLiteral(" (%1)").arg(choice.info->summary());
    }
    if (port.PortOpen()) {
        // A raw port on the network runs at the server's speed, whatever the settings say.
        const QString held =
            port.latencyRefused().isEmpty()
                ? QString()
                : QStringLiteral("; its driver refused low-latency mode (%1), so replies may "
                                 "be held up to %2 ms")
                      .arg(port.latencyRefused())
                      .arg(port.readHoldMs());
        return QStringLiteral("COM%1 open: %2 at %3")
                   .arg(port.CommPort())
                   .arg(device,
                        port.setsLineSpeed() ? port.Settings() : QStringLiteral("the server's speed")) +
               roundTrip(port) + held;
    }
    if (port.isConnecting()) {
        return QStringLiteral("COM%1 connecting: %2 (told within %3 s).")
            .arg(port.CommPort())
            .arg(device)
            .arg(link::NetworkPort::kConnectTimeoutMs / 1000);
    }
    return QStringLiteral("COM%1 %2: %3.")
        .arg(port.CommPort())
        .arg(port.isWatching() ? QStringLiteral("lost") : QStringLiteral("closed"),
             capitalised(port.closedReason()));
}

QString PortSession::scanRefusal() const {
    return scanGuard_ ? scanGuard_() : QString();
}

void PortSession::setScanning(bool scanning) {
    if (scanning == scanning_) {
        return;
    }
    scanning_ = scanning;
    if (!scanning) {
        link_.MSComm1.setEchoStripping(ignoreEcho_); // as the operator chose last, during the scan too
    }
    emit scanningChanged(scanning);
}

void PortSession::useFoundModule(int address, int speed) {
    emit moduleChosen(address);
    link::SerialControl& port = link_.MSComm1;
    if (speed <= 0 || port.Settings().startsWith(QString::number(speed) + QLatin1Char(','))) {
        return; // found at the server's speed, or at the port's: nothing to switch
    }
    port.setPortOpen(false);
    variables_.strSettings = QStringLiteral("%1,n,8,1").arg(speed);
    port.setSettings(variables_.strSettings);
    port.setPortOpen(true);
    emit stateChanged();
}

void PortSession::setIgnoreEcho(bool ignore) {
    // A scan handles the echo itself while it runs; the choice holds from its end on.
    ignoreEcho_ = ignore;
    if (!scanning_) {
        link_.MSComm1.setEchoStripping(ignore);
    }
}

} // namespace trivex::session
