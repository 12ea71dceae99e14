#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Serial ports behind the network, named by URL as serial tools name them.
namespace trivex::link {

struct NetworkAddress {
    enum class Kind {
        Rfc2217, // rfc2217://host:port: Telnet with the COM-PORT-OPTION, the line set on the far side
        Tcp,     // tcp://host:port: the bytes as they are, at the server's speed
    };
    Kind kind = Kind::Tcp;
    QString host;
    quint16 port = 0;

    QString url() const;
};

// Whether path names a port on the network: it begins with rfc2217:// or tcp://.
bool isNetworkPort(const QString& path);
// Whether path names a raw port on the network, whose line runs at the server's speed.
bool isRawNetworkPort(const QString& path);

// The address a port URL names; no value, and *why set, for one that is not scheme://host:port
// with a port number from 1 to 65535 written in digits (an IPv6 address in brackets): a user
// name or password, a path, options, a sign or blanks in the port are refused.
std::optional<NetworkAddress> parseNetworkAddress(const QString& path, QString* why);

// The port's name as it may be shown: a URL with its user name and password replaced by "***",
// so that no secret reaches a screen, a log or a report; any other path as it is.
QString shownPortName(const QString& path);

} // namespace trivex::link
