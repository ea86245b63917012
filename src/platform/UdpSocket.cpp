#include "platform/UdpSocket.h"

#include "platform/SocketError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<UdpSocket> UdpSocket::bind(quint16 port)
{
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (handle < 0)
        throw SocketError::fromSystem(errno);
    auto fail = [handle](int error) {
        ::close(handle);
        throw SocketError::fromSystem(error);
    };
    const int off = 0;
    if (::setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &off, sizeof off) != 0)
        fail(errno);
    // Room for a burst that arrives while the monitor is busy (an echo request, a mail): about a
    // thousand datagrams of 1 KiB. Beyond the system's limit only a privileged process may go.
    const int room = 1 << 20;
    if (::setsockopt(handle, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        ::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    // No SO_REUSEADDR: on Linux it would let a second monitor share the port and take half the alarms.
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0)
        fail(errno);
    const int wakeHandle = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeHandle < 0)
        fail(errno);
    return std::unique_ptr<UdpSocket>(new UdpSocket(handle, wakeHandle));
}

UdpSocket::UdpSocket(int handle, int wakeHandle)
    : m_handle(handle)
    , m_wakeHandle(wakeHandle)
{}

UdpSocket::~UdpSocket()
{
    ::close(m_handle);
    ::close(m_wakeHandle);
}

quint16 UdpSocket::localPort() const
{
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(m_handle, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

std::size_t UdpSocket::sendTo(const QByteArray& payload, quint32 address, quint16 port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    const ssize_t sent = ::sendto(m_handle, payload.constData(), std::size_t(payload.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (sent < 0)
        throw SocketError::fromSystem(errno);
    return std::size_t(sent);
}

UdpSocket::Wait UdpSocket::wait(int timeoutMs)
{
    pollfd fds[2] = {{m_handle, POLLIN, 0}, {m_wakeHandle, POLLIN, 0}};
    for (;;) {
        const int rc = ::poll(fds, 2, timeoutMs);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            throw SocketError::fromSystem(errno);
        if (rc == 0)
            return Wait::TimedOut;
        if (fds[1].revents != 0) {
            eventfd_t ignored = 0;
            ::eventfd_read(m_wakeHandle, &ignored);
            return Wait::Woken;
        }
        return Wait::Readable;
    }
}

void UdpSocket::wake()
{
    ::eventfd_write(m_wakeHandle, 1);
}

std::optional<UdpSocket::Received> UdpSocket::receive(char* buffer, std::size_t capacity)
{
    sockaddr_in sa{};
    iovec part{buffer, capacity};
    msghdr message{};
    message.msg_name = &sa;
    message.msg_namelen = sizeof sa;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t got = ::recvmsg(m_handle, &message, MSG_DONTWAIT);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return std::nullopt;
        throw SocketError::fromSystem(errno);
    }
    Received received;
    received.size = std::size_t(got);
    received.truncated = (message.msg_flags & MSG_TRUNC) != 0;
    received.source = ntohl(sa.sin_addr.s_addr);
    received.sourcePort = ntohs(sa.sin_port);
    return received;
}
