#include "link/NetworkAddress.h"

namespace trivex::link {

namespace {

const QLatin1String kRfc2217("rfc2217://");
const QLatin1String kTcp("tcp://");

// Where the authority of a network URL ends (its host and port), and where its user part ends.
qsizetype authorityEnd(const QString& rest) {
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == QLatin1Char('/') || rest[i] == QLatin1Char('?') || rest[i] == QLatin1Char('#')) {
            return i;
        }
    }
    return rest.size();
}

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

bool isRawNetworkPort(const QString& path) {
    return path.trimmed().startsWith(kTcp, Qt::CaseInsensitive);
}

QString shownPortName(const QString& path) {
    if (!isNetworkPort(path)) {
        return path;
    }
    const QString text = path.trimmed();
    const qsizetype start = text.indexOf(QLatin1String("://")) + 3;
    const QString rest = text.mid(start);
    const qsizetype at = rest.left(authorityEnd(rest)).lastIndexOf(QLatin1Char('@'));
    return at < 0 ? text : text.left(start) + QStringLiteral("***") + rest.mid(at);
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
    const QString form =
        QStringLiteral("%1host:port").arg(address.kind == NetworkAddress::Kind::Rfc2217 ? kRfc2217 : kTcp);
    if (rest.endsWith(QLatin1Char('/')) && authorityEnd(rest) == rest.size() - 1) {
        rest.chop(1); // "host:port/" names nothing more than host:port
    }
    if (rest.left(authorityEnd(rest)).contains(QLatin1Char('@'))) {
        *why = QStringLiteral("holds a user name or password before \"@\", which a serial server takes none "
                              "of (and which is not shown here): name %1 only")
                   .arg(form);
        return std::nullopt;
    }
    if (authorityEnd(rest) < rest.size()) {
        *why = QStringLiteral("holds a path or options after the port: name %1 only").arg(form);
        return std::nullopt;
    }
    qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (rest.startsWith(QLatin1Char('['))) { // [IPv6]:port
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        colon = close > 0 && rest.mid(close + 1, 1) == QLatin1String(":") ? close + 1 : -1;
        address.host = close > 0 ? rest.mid(1, close - 1) : QString();
    } else {
        address.host = rest.left(colon);
    }
    const QString portText = colon < 0 ? QString() : rest.mid(colon + 1);
    bool digits = !portText.isEmpty() && portText.size() <= 5;
    for (const QChar c : portText) {
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }
    const uint port = digits ? portText.toUInt() : 0;
    if (colon <= 0 || address.host.isEmpty() || address.host.contains(QLatin1Char(' '))) {
        *why = QStringLiteral("is not of the form %1 with a port from 1 to 65535").arg(form);
        return std::nullopt;
    }
    if (port < 1 || port > 65535) {
        *why =
            QStringLiteral("has the port \"%1\", which is no number from 1 to 65535 in digits").arg(portText);
        return std::nullopt;
    }
    address.port = static_cast<quint16>(port);
    return address;
}

} // namespace trivex::link
