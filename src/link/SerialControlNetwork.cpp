// The serial control's ports on the network: connected without blocking, reconnected after a
// drop with the same settings, as a replugged adapter is reopened.

#include "link/SerialControl.h"

#include <algorithm>

namespace trivex::link {

bool SerialControl::isConnecting() const {
    return network_ && !netUp_ && !lost_ && net_.isConnecting();
}

bool SerialControl::setsLineSpeed() const {
    return !isRawNetworkPort(network_ ? openedPath_ : devicePath());
}

double SerialControl::roundTripMs() const {
    return network_ && PortOpen() ? net_.roundTripMs() : 0;
}

bool SerialControl::openNetwork(const QString& url) {
    if (!settings_) {
        return refuse(
            url, QStringLiteral("cannot be opened: the line settings \"%1\" are not of the form 9600,n,8,1")
                     .arg(settingsText_));
    }
    QString why;
    const std::optional<NetworkAddress> address = parseNetworkAddress(url, &why);
    if (!address) {
        return refuse(url, why); // the URL shown without a user name or password
    }
    network_ = true;
    netUp_ = false;
    openedPath_ = address->url();
    lastError_ = QStringLiteral("%1 is being connected").arg(openedPath_);
    net_.open(*address, *settings_);
    return false; // open once the connection is ready: connected() says so
}

void SerialControl::onNetworkReady() {
    const bool again = netUp_ || lost_ || retry_.isActive();
    netUp_ = true;
    lost_ = false;
    retry_.stop();
    retry_.setInterval(kRetryInterval);
    lastError_.clear();
    received_.clear();
    record(TrafficEntry::Kind::Event, {},
           QStringLiteral("port %1: %2 at %3, round trip %4 ms")
               .arg(again ? QStringLiteral("reopened") : QStringLiteral("opened"), openedPath_, settingsText_)
               .arg(net_.roundTripMs(), 0, 'f', 1));
    emit opened();
    emit again ? reopened() : connected();
}

void SerialControl::onNetworkFailed(const QString& reason) {
    if (lost_) {
        // A try to connect again failed: the next comes later, less often the longer it stays away.
        lostBecause_ = QStringLiteral("%1 went away (%2)").arg(openedPath_, reason);
        lastError_ = lostBecause_ + QStringLiteral("; connecting again");
        retry_.start(std::min(retry_.interval() * 2, kLongestRetryInterval));
        return;
    }
    if (netUp_) {
        lost_ = true;
        lostBecause_ = QStringLiteral("%1 went away (%2)").arg(openedPath_, reason);
        lastError_ = lostBecause_ + QStringLiteral("; connecting again");
        record(TrafficEntry::Kind::Event, {}, QStringLiteral("port lost: %1").arg(lastError_));
        retry_.start(kRetryInterval);
        emit portLost(lastError_);
        return;
    }
    // The first connection did not come about: told as a port that does not open is.
    lastError_ = QStringLiteral("%1 %2").arg(openedPath_, reason);
    lostBecause_ = lastError_;
    record(TrafficEntry::Kind::Event, {}, QStringLiteral("port not opened: %1").arg(lastError_));
    emit portLost(lastError_);
}

} // namespace trivex::link
