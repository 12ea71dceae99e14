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

// The address a port URL names; no value, and *why set, for one that is not scheme://host:port
// with a port number from 1 to 65535 (an IPv6 address in brackets).
std::optional<NetworkAddress> parseNetworkAddress(const QString& path, QString* why);

} // namespace trivex::link
