#include "platform/HostLookup.h"

#include "platform/SocketError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace HostLookup {

quint32 resolveIPv4(const QString& name)
{
    QByteArray host = name.toUtf8();
    if (host.isEmpty()) {
        char own[256] = {};
        if (::gethostname(own, sizeof own - 1) != 0)
            throw SocketError::fromSystem(errno);
        host = own;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (rc != 0) {
        const int code = rc == EAI_SYSTEM ? errno : rc;
        const QString text = rc == EAI_SYSTEM ? qt_error_string(errno) : QString::fromLocal8Bit(gai_strerror(rc));
        throw SocketError(code, text);
    }
    const addrinfo* first = found;
    while (first && first->ai_family != AF_INET)
        first = first->ai_next;
    if (!first) {
        ::freeaddrinfo(found);
        throw SocketError(EAI_NONAME, QString::fromLocal8Bit(gai_strerror(EAI_NONAME)));
    }
    const quint32 address = ntohl(reinterpret_cast<const sockaddr_in*>(first->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return address;
}

std::optional<quint32> parseDotted(const QString& text)
{
    if (text.contains(QChar(0)))
        return std::nullopt;
    in_addr address{};
    if (::inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

QString dotted(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xff)
        .arg((address >> 8) & 0xff)
        .arg(address & 0xff);
}

} // namespace HostLookup
