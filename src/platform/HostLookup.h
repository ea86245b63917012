#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The platform's host lookup for IPv4: the first address of a host name. An empty name is the
// local machine, as the platform's lookup treats it.
namespace HostLookup {

// Address in host byte order. Throws SocketError with the resolver's code and text.
quint32 resolveIPv4(const QString& name);

// The address of a text in dotted form ("192.0.2.1"), host byte order; nullopt for anything else.
std::optional<quint32> parseDotted(const QString& text);

// The dotted form of an address given in host byte order.
QString dotted(quint32 address);

} // namespace HostLookup
