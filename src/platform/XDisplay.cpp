#include "platform/XDisplay.h"

#include "platform/AppError.h"
#include "platform/TcpConnection.h"

#include <chrono>

#ifndef _WIN32
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace XDisplay {

std::optional<Address> parse(const QString& display)
{
    const qsizetype colon = display.lastIndexOf(u':');
    if (colon < 0)
        return std::nullopt;
    Address address;
    address.host = display.left(colon);
    if (address.host == QStringLiteral("unix"))
        address.host.clear();
    const QString number = display.mid(colon + 1).section(u'.', 0, 0);
    bool ok = false;
    address.number = number.toInt(&ok);
    if (!ok || address.number < 0 || number.startsWith(u'+'))
        return std::nullopt;
    return address;
}

QString socketPath(int number)
{
    return QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
}

#ifndef _WIN32

namespace {

// Tries the abstract socket first and then the file, as the X library does.
bool localServerAnswers(int number)
{
    const QByteArray path = socketPath(number).toLocal8Bit();
    for (bool abstract : {true, false}) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with a zero byte
        std::memcpy(address.sun_path + offset, path.constData(), std::size_t(path.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + std::size_t(path.size()));
        const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0;
        ::close(s);
        if (connected)
            return true;
    }
    return false;
}

} // namespace

bool reachable(const QString& display)
{
    const std::optional<Address> address = parse(display);
    if (!address)
        return false;
    if (address->host.isEmpty())
        return localServerAnswers(address->number);
    constexpr int kFirstPort = 6000;
    try {
        TcpConnection connection;
        connection.open(address->host, kFirstPort + address->number,
                        TcpConnection::Clock::now() + std::chrono::seconds(1));
        return true;
    } catch (const AppError&) {
        return false;
    }
}

#endif // _WIN32

} // namespace XDisplay
