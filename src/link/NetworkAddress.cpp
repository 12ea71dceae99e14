#include "link/NetworkAddress.h"

namespace trivex::link {

namespace {

const QLatin1String kRfc2217("rfc2217://");
const QLatin1String kTcp("tcp://");

} // namespace

QString NetworkAddress::url() const {
    const QString shownHost = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return (kind == Kind::Rfc2217 ? QString(kRfc2217) : QString(kTcp)) + shownHost + QLatin1Char(':') +
           QString::number(port);
}

bool isNetworkPort(const QString& path) {
    const QString trimmed = path.trimmed();
    return trimmed.startsWith(kRfc2217, Qt::CaseInsensitive) || trimmed.startsWith(kTcp, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> parseNetworkAddress(const QString& path, QString* why) {
    const QString text = path.trimmed();
    NetworkAddress address;
    QString rest;
    if (text.startsWith(kRfc2217, Qt::CaseInsensitive)) {
        address.kind = NetworkAddress::Kind::Rfc2217;
        rest = text.mid(kRfc2217.size());
    } else if (text.startsWith(kTcp, Qt::CaseInsensitive)) {
        rest = text.mid(kTcp.size());
    } else {
        *why = QStringLiteral("is no network port: rfc2217://host:port or tcp://host:port");
        return std::nullopt;
    }
    if (rest.endsWith(QLatin1Char('/'))) {
        rest.chop(1);
    }
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    address.host = rest.left(colon);
    if (address.host.startsWith(QLatin1Char('[')) && address.host.endsWith(QLatin1Char(']'))) {
        address.host = address.host.mid(1, address.host.size() - 2);
    }
    bool number = false;
    const uint port = colon < 0 ? 0 : rest.mid(colon + 1).toUInt(&number);
    if (colon <= 0 || !number || port < 1 || port > 65535 || address.host.isEmpty() ||
        address.host.contains(QLatin1Char('/')) || address.host.contains(QLatin1Char(' '))) {
        *why = QStringLiteral("is not of the form %1host:port with a port from 1 to 65535")
                   .arg(address.kind == NetworkAddress::Kind::Rfc2217 ? kRfc2217 : kTcp);
        return std::nullopt;
    }
    address.port = static_cast<quint16>(port);
    return address;
}

} // namespace trivex::link
