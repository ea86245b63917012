#include "platform/IcmpSocket.h"

#include "platform/SocketError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

int openSocket(int type)
{
    const int handle = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    // Every datagram is stamped with the moment it reached the socket. Without the stamps the
    // round trip falls back to the moment of reading, so a refusal is no reason to give up.
    const int on = 1;
    if (handle >= 0)
        ::setsockopt(handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    return handle;
}

IcmpSocket::Nanoseconds realTimeNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return IcmpSocket::Nanoseconds(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

sockaddr_in toSockaddr(quint32 address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = 0;
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

} // namespace

std::unique_ptr<IcmpSocket> IcmpSocket::open(Mode mode, int* systemError)
{
    int error = 0;
    if (mode != Mode::DatagramOnly) {
        const int handle = openSocket(SOCK_RAW);
        if (handle >= 0)
            return std::unique_ptr<IcmpSocket>(new IcmpSocket(handle, Kind::Raw));
        error = errno;
        // Only a refusal for want of privilege is worth the datagram kind; anything else (no
        // descriptors left, no memory) would fail there too.
        const bool refused = error == EPERM || error == EACCES;
        if (mode == Mode::RawOnly || !refused) {
            if (systemError)
                *systemError = error;
            return nullptr;
        }
    }
    const int handle = openSocket(SOCK_DGRAM);
    if (handle < 0) {
        if (systemError)
            *systemError = errno;
        return nullptr;
    }
    // Unreachable and time-exceeded reports arrive only through the error queue, and the TTL of an
    // answer only as ancillary data, since a datagram socket delivers no IP header.
    const int on = 1;
    if (::setsockopt(handle, IPPROTO_IP, IP_RECVERR, &on, sizeof on) != 0 ||
        ::setsockopt(handle, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) != 0) {
        if (systemError)
            *systemError = errno;
        ::close(handle);
        return nullptr;
    }
    return std::unique_ptr<IcmpSocket>(new IcmpSocket(handle, Kind::Datagram));
}

IcmpSocket::IcmpSocket(int handle, Kind kind)
    : m_handle(handle)
    , m_kind(kind)
{}

IcmpSocket::~IcmpSocket()
{
    ::close(m_handle);
}

int IcmpSocket::messageTooLongCode()
{
    return EMSGSIZE;
}

void IcmpSocket::setTimeToLive(int ttl)
{
    if (::setsockopt(m_handle, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0)
        throw SocketError::fromSystem(errno);
}

std::size_t IcmpSocket::sendTo(const quint8* data, std::size_t size, quint32 address)
{
    const sockaddr_in sa = toSockaddr(address);
    m_sentAt = realTimeNow();
    ssize_t sent;
    do {
        sent = ::sendto(m_handle, data, size, 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0)
        throw SocketError::fromSystem(errno);
    return std::size_t(sent);
}

IcmpSocket::Wait IcmpSocket::waitReadable(int timeoutMs, int stopHandle)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(qMax(timeoutMs, 0));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd[2] = {{m_handle, POLLIN, 0}, {stopHandle, POLLIN, 0}};
        const int ready = ::poll(pfd, stopHandle >= 0 ? 2 : 1, int(qMax<qint64>(left, 0)));
        if (ready > 0 && pfd[1].revents != 0)
            return Wait::Stopped;
        if (ready > 0)
            return Wait::Readable;
        if (ready == 0)
            return Wait::TimedOut;
        if (errno != EINTR)
            throw SocketError::fromSystem(errno);
    }
}

std::optional<IcmpSocket::Received> IcmpSocket::receive(quint8* buffer, std::size_t capacity)
{
    Received got;
    sockaddr_in from{};
    alignas(cmsghdr) char control[512];
    iovec iov{buffer, capacity};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;

    m_lastArrival.reset();
    auto takeArrival = [&] {
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                m_lastArrival = Nanoseconds(stamp.tv_sec) * 1'000'000'000 + stamp.tv_nsec;
            }
        }
    };

    ssize_t n = -1;
    if (m_kind == Kind::Datagram) {
        n = ::recvmsg(m_handle, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n >= 0) {
            got.size = std::size_t(n);
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
                    continue;
                sock_extended_err ee{};
                std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
                if (ee.ee_origin != SO_EE_ORIGIN_ICMP)
                    continue;
                sockaddr_in offender{};
                std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(c))),
                            sizeof offender);
                got.isErrorReport = true;
                got.errorType = ee.ee_type;
                got.errorCode = ee.ee_code;
                got.source = ntohl(offender.sin_addr.s_addr);
            }
            if (got.isErrorReport) {
                takeArrival();
                return got;
            }
            // A local error without an ICMP origin (for instance a failed neighbour lookup): it
            // says nothing the probe can match; the wait goes on with whatever comes next.
            return std::nullopt;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            throw SocketError::fromSystem(errno);
        msg.msg_namelen = sizeof from;
        msg.msg_controllen = sizeof control;
        n = ::recvmsg(m_handle, &msg, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return std::nullopt; // readable only for an error report that was already taken
    } else {
        do {
            n = ::recvmsg(m_handle, &msg, 0);
        } while (n < 0 && errno == EINTR);
    }
    if (n < 0)
        throw SocketError::fromSystem(errno);
    got.size = std::size_t(n);
    got.source = ntohl(from.sin_addr.s_addr);
    takeArrival();
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            got.timeToLive = ttl;
        }
    }
    return got;
}

std::optional<quint32> IcmpSocket::roundTripOfLastReceived() const
{
    if (!m_sentAt || !m_lastArrival)
        return std::nullopt;
    // The real-time clock may be set back between the two; a round trip is never negative.
    const Nanoseconds ns = qMax<Nanoseconds>(*m_lastArrival - *m_sentAt, 0);
    return quint32((ns + 500'000) / 1'000'000);
}

bool IcmpSocket::isShortOfResources(int systemError)
{
    return systemError == EMFILE || systemError == ENFILE || systemError == ENOBUFS || systemError == ENOMEM;
}

void IcmpSocket::acceptOnlyAnswersTo(quint16 identifier, quint16 sequence)
{
    if (m_kind != Kind::Raw)
        return;
    // The filter reads 16-bit words in network order; the request carries them the other way round.
    const quint32 id = quint16((identifier << 8) | (identifier >> 8));
    const quint32 seq = quint16((sequence << 8) | (sequence >> 8));
    constexpr quint32 kAccept = 0x40000;
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),        // 0: X := IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),         // 1: A := ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 4, 0),  // 2: echo reply
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 8, 3, 0),  // 3: echo request
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 3, 6, 0),  // 4: destination unreachable
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 11, 5, 0), // 5: time exceeded
        BPF_STMT(BPF_RET | BPF_K, kAccept),            // 6: any other type
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),         // 7: echo: identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 0, 10),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 6), // 9: echo: sequence number
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, seq, 7, 8),
        BPF_STMT(BPF_MISC | BPF_TXA, 0),        // 11: X := twice the header length (the quoted one
        BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0), //     taken to be as long as the outer one)
        BPF_STMT(BPF_MISC | BPF_TAX, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 12), // 14: quoted identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, id, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 14), // 16: quoted sequence number
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, seq, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, kAccept), // 18
        BPF_STMT(BPF_RET | BPF_K, 0),       // 19
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    if (::setsockopt(m_handle, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        throw SocketError::fromSystem(errno);
}

IcmpSocket::Readiness IcmpSocket::waitAnyReadable(std::span<IcmpSocket* const> sockets, int timeoutMs, int stopHandle)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(qMax(timeoutMs, 0));
    std::vector<pollfd> fds;
    fds.reserve(sockets.size() + 1);
    for (const IcmpSocket* socket : sockets)
        fds.push_back({socket->m_handle, POLLIN, 0});
    if (stopHandle >= 0)
        fds.push_back({stopHandle, POLLIN, 0});
    Readiness readiness;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), int(qMax<qint64>(left, 0)));
        if (ready >= 0)
            break;
        if (errno != EINTR)
            throw SocketError::fromSystem(errno);
    }
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (fds[i].revents != 0)
            readiness.readable.push_back(i);
    }
    readiness.stopped = stopHandle >= 0 && fds.back().revents != 0;
    return readiness;
}
