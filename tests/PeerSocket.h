#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

// Another station's UDP socket, written on plain POSIX calls so that what it sees on the wire does
// not depend on the monitor's own socket code. Made in the namespace of the calling thread.
class PeerSocket {
public:
    struct Datagram {
        QByteArray payload;
        std::string source; // dotted
        int sourcePort = 0;
        std::string destination; // dotted, the address the datagram was sent to
    };

    explicit PeerSocket(const char* address = "0.0.0.0", int port = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        const int big = 4 << 20;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
        sockaddr_in sa = toSockaddr(address, port);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            throw std::runtime_error(std::string("peer socket: cannot bind ") + address);
    }
    ~PeerSocket() { ::close(m_fd); }
    PeerSocket(const PeerSocket&) = delete;
    PeerSocket& operator=(const PeerSocket&) = delete;

    int port() const
    {
        sockaddr_in sa{};
        socklen_t n = sizeof sa;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &n);
        return ntohs(sa.sin_port);
    }

    bool sendTo(const QByteArray& payload, const char* address, int port)
    {
        const sockaddr_in sa = toSockaddr(address, port);
        return ::sendto(m_fd, payload.constData(), size_t(payload.size()), 0, reinterpret_cast<const sockaddr*>(&sa),
                        sizeof sa) == payload.size();
    }

    // The next datagram within the time, or nullopt.
    std::optional<Datagram> receive(int timeoutMs)
    {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) != 1)
            return std::nullopt;
        QByteArray buffer(70000, '\0');
        sockaddr_in from{};
        iovec part{buffer.data(), size_t(buffer.size())};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(m_fd, &message, 0);
        if (got < 0)
            return std::nullopt;
        Datagram d;
        d.payload = buffer.left(got);
        d.source = dotted(from.sin_addr);
        d.sourcePort = ntohs(from.sin_port);
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                d.destination = dotted(reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c))->ipi_addr);
        return d;
    }

private:
    static sockaddr_in toSockaddr(const char* address, int port)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(uint16_t(port));
        ::inet_pton(AF_INET, address, &sa.sin_addr);
        return sa;
    }
    static std::string dotted(in_addr address)
    {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address, text, sizeof text);
        return text;
    }

    int m_fd = -1;
};
