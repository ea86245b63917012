#pragma once

#include <QString>
#include <QtGlobal>

// The platform's host lookup for IPv4: the first address of a host name. An empty name is the
// local machine, as the platform's lookup treats it.
namespace HostLookup {

// Address in host byte order. Throws SocketError with the resolver's code and text.
quint32 resolveIPv4(const QString& name);

} // namespace HostLookup
