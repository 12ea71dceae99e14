#include "ctl/BusCheck.h"

#include "ctl/Stop.h"
#include "link/BusScan.h"
#include "protocol/Decoder.h"
#include "protocol/Markers.h"
#include "protocol/Selection.h"

#include <QEventLoop>
#include <algorithm>
#include <vector>

namespace trivex::ctl {

namespace {

// An address that must be free is heard the whole reply window, as the exchanges hear it:
// whatever comes in it takes the address.
constexpr std::int16_t kFreeWindowTicks = link::kReplyTicks;

} // namespace

QString speedWords(int speed) {
    return speed > 0 ? QStringLiteral("%1 bit/s").arg(speed) : QStringLiteral("the server's speed");
}

BusCheck::BusCheck(link::Link& link, QString portSettings)
    : link_(link)
    , portSettings_(std::move(portSettings)) {
}

void BusCheck::atSpeed(int speed) {
    if (speed > 0 && link_.MSComm1.setsLineSpeed()) {
        QStringList fields = portSettings_.split(QLatin1Char(','));
        fields[0] = QString::number(speed);
        link_.MSComm1.switchSettings(fields.join(QLatin1Char(',')));
    }
}

QString BusCheck::answersAt(int address, const std::vector<int>& speeds) {
    QString told;
    for (int speed : speeds) {
        atSpeed(speed);
        const protocol::Bytes heard = link_.probe(static_cast<std::uint8_t>(address), kFreeWindowTicks);
        if (!heard.empty()) {
            link_.SendCommand(protocol::stopFrame()); // whatever answered is released
            told = QStringLiteral("address %1 answers at %2 (%3)")
                       .arg(address)
                       .arg(speedWords(speed), QString::fromStdString(protocol::hexText(heard)));
            break;
        }
    }
    link_.MSComm1.switchSettings(portSettings_);
    return told;
}

Census BusCheck::at(int address, const std::vector<int>& speeds) {
    Census census;
    for (int speed : speeds) {
        atSpeed(speed);
        const protocol::Bytes heard = link_.probe(static_cast<std::uint8_t>(address), link::kReplyTicks);
        if (heard.empty()) {
            continue;
        }
        link_.SendCommand(protocol::stopFrame());
        const protocol::Bytes clean{static_cast<char>(protocol::kAcknowledge), static_cast<char>(address)};
        census.found = heard == clean ? Census::Found::One : Census::Found::Several;
        census.address = address;
        census.speed = speed;
        census.told =
            QStringLiteral("no clean acknowledge at %1 (%2 at %3): likely two modules on this address")
                .arg(address)
                .arg(QString::fromStdString(protocol::hexText(heard)), speedWords(speed));
        break;
    }
    link_.MSComm1.switchSettings(portSettings_);
    if (census.found == Census::Found::None) {
        census.told = QStringLiteral("no module answers at %1").arg(address);
    }
    return census;
}

Census BusCheck::wholeBus() {
    link::BusScan scan(link_);
    QEventLoop loop;
    QObject::connect(&scan, &link::BusScan::finished, &loop, &QEventLoop::quit);
    QObject::connect(&StopRequests::instance(), &StopRequests::stopRequested, &loop, &QEventLoop::quit);
    Census census;
    if (const QString refusal = scan.start(0, 255, {9600, 4800}); !refusal.isEmpty()) {
        census.told = QStringLiteral("the bus could not be scanned: %1").arg(refusal);
        return census;
    }
    loop.exec();
    scan.stop();
    // Told in address order, whichever answer a late reply had probed again first.
    std::vector<link::ScanFinding> findings = scan.findings();
    std::stable_sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
        return a.address != b.address ? a.address < b.address : a.speed > b.speed;
    });
    QStringList found;
    bool garbled = false;
    for (const link::ScanFinding& finding : findings) {
        found << QStringLiteral("%1 at %2").arg(finding.address).arg(speedWords(finding.speed)) +
                     (finding.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(finding.note));
        garbled = garbled || finding.note.startsWith(QLatin1String("no clean acknowledge"));
    }
    if (found.size() == 1 && !garbled) {
        census.found = Census::Found::One;
        census.address = findings.front().address;
        census.speed = findings.front().speed;
    } else if (!found.isEmpty()) {
        census.found = Census::Found::Several;
        census.told =
            QStringLiteral("more than one module on the bus: %1").arg(found.join(QStringLiteral("; ")));
    } else {
        census.told = QStringLiteral("no module answers at any address, at either speed");
    }
    return census;
}

} // namespace trivex::ctl
