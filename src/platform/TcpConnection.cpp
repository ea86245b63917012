#include "platform/TcpConnection.h"

#include "platform/AppError.h"
#include "platform/TerminationFlag.h"

#ifndef _WIN32

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = TcpConnection::Clock;

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 1000000 ? 1000000 : int(left);
}

using Limits = TcpConnection::Limits;

// Raises the failure of the overall limit or of the stop handle, when one of them has come.
void checkLimits(const Limits& limits)
{
    if (TerminationFlag::isRaised(limits.stopHandle))
        throw AppError(limits.stopText);
    if (Clock::now() >= limits.overall)
        throw AppError(limits.overallText);
}

// Waits for the socket to become readable or writable; false when the deadline passed first.
// Raises AppError when the overall limit passes or the stop handle becomes readable first.
bool waitFor(int socket, short events, Clock::time_point deadline, const Limits& limits)
{
    const bool overallFirst = limits.overall < deadline;
    for (;;) {
        checkLimits(limits);
        pollfd entries[2] = {{socket, events, 0}, {limits.stopHandle, POLLIN, 0}};
        const int ready = ::poll(entries, limits.stopHandle >= 0 ? 2 : 1,
                                 millisecondsUntil(overallFirst ? limits.overall : deadline));
        if (ready > 0 && entries[1].revents != 0)
            throw AppError(limits.stopText);
        if (ready > 0)
            return true;
        if (ready == 0 && overallFirst)
            throw AppError(limits.overallText);
        if (ready == 0)
            return false;
        if (errno != EINTR)
            throw AppError(systemReason(errno));
    }
}

// getaddrinfo cannot be given a time limit, so the look-up runs on a thread of its own which the
// caller stops waiting for at the deadline; an abandoned look-up finishes later and is dropped.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    std::vector<in_addr> addresses;
};

std::vector<in_addr> resolve(const QString& host, Clock::time_point deadline, std::chrono::milliseconds limit,
                             const Limits& limits)
{
    const QByteArray name = host.toUtf8();
    in_addr dotted{};
    if (::inet_pton(AF_INET, name.constData(), &dotted) == 1)
        return {dotted};

    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int status = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
        std::vector<in_addr> addresses;
        for (addrinfo* at = found; status == 0 && at; at = at->ai_next)
            addresses.push_back(reinterpret_cast<sockaddr_in*>(at->ai_addr)->sin_addr);
        if (found)
            ::freeaddrinfo(found);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->addresses = std::move(addresses);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    // Looked at in short steps, so that the end of the program need not wait for the look-up.
    constexpr auto kStep = std::chrono::milliseconds(50);
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished && Clock::now() < deadline) {
        lock.unlock();
        checkLimits(limits);
        lock.lock();
        lookup->done.wait_until(lock, std::min(deadline, Clock::now() + kStep), [&] { return lookup->finished; });
    }
    if (!lookup->finished)
        throw AppError(
            QStringLiteral("Host name %1 was not resolved within %2").arg(host, TcpConnection::secondsText(limit)));
    if (lookup->status != 0 || lookup->addresses.empty()) {
        const QString reason = lookup->status != 0 ? QString::fromLocal8Bit(::gai_strerror(lookup->status))
                                                   : QStringLiteral("no IPv4 address");
        throw AppError(QStringLiteral("Host not found: %1 (%2)").arg(host, reason));
    }
    return lookup->addresses;
}

// Connects a non-blocking socket to one address; returns the socket, or -1 with the errno value.
int connectTo(in_addr address, int port, Clock::time_point deadline, const Limits& limits, int& error)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0) {
        error = errno;
        return -1;
    }
    // Closed on every way out but success, a raised limit included.
    std::unique_ptr<const int, void (*)(const int*)> guard(&socket, [](const int* s) { ::close(*s); });
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(quint16(port));
    target.sin_addr = address;
    error = 0;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        if (errno != EINPROGRESS) {
            error = errno;
        } else if (!waitFor(socket, POLLOUT, deadline, limits)) {
            error = ETIMEDOUT;
        } else {
            socklen_t length = sizeof error;
            if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
    }
    if (error != 0)
        return -1;
    guard.release();
    return socket;
}

} // namespace

TcpConnection::~TcpConnection()
{
    close();
}

QString TcpConnection::secondsText(std::chrono::milliseconds limit)
{
    return QStringLiteral("%1 s").arg(QString::number(double(limit.count()) / 1000.0));
}

void TcpConnection::open(const QString& host, int port, Clock::time_point deadline)
{
    close();
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (host.trimmed().isEmpty())
        throw AppError(QStringLiteral("No host name given"));
    if (port < 1 || port > 65535)
        throw AppError(QStringLiteral("Invalid port number %1").arg(port));
    const std::vector<in_addr> addresses = resolve(host.trimmed(), deadline, limit, m_limits);
    int error = 0;
    for (const in_addr& address : addresses) {
        m_socket = connectTo(address, port, deadline, m_limits, error);
        if (m_socket >= 0)
            return;
        if (error == ETIMEDOUT)
            break;
    }
    const QString where = QStringLiteral("%1:%2").arg(host.trimmed()).arg(port);
    if (error == ETIMEDOUT)
        throw AppError(QStringLiteral("No connection to %1 within %2").arg(where, secondsText(limit)));
    throw AppError(QStringLiteral("Cannot connect to %1: %2").arg(where, systemReason(error)));
}

void TcpConnection::setOverallLimit(Clock::time_point deadline, const QString& text)
{
    m_limits.overall = deadline;
    m_limits.overallText = text;
}

void TcpConnection::setStopHandle(int handle, const QString& text)
{
    m_limits.stopHandle = handle;
    m_limits.stopText = text;
}

void TcpConnection::writeAll(QByteArrayView data, std::chrono::milliseconds stallLimit)
{
    if (m_socket < 0)
        throw AppError(QStringLiteral("Not connected"));
    qsizetype sent = 0;
    while (sent < data.size()) {
        // MSG_NOSIGNAL: a peer that has gone must give a failure text, not end the monitor by SIGPIPE.
        const ssize_t n = ::send(m_socket, data.data() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw AppError(QStringLiteral("Cannot send: %1").arg(systemReason(errno)));
        if (!waitFor(m_socket, POLLOUT, Clock::now() + stallLimit, m_limits))
            throw AppError(QStringLiteral("The server took no data within %1").arg(secondsText(stallLimit)));
    }
}

void TcpConnection::writeWithoutWaiting(QByteArrayView data) noexcept
{
    if (m_socket >= 0)
        (void)::send(m_socket, data.data(), size_t(data.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

TcpConnection::ReadStatus TcpConnection::readSome(QByteArray& buffer, Clock::time_point deadline)
{
    if (m_socket < 0)
        return ReadStatus::Closed;
    checkLimits(m_limits); // a server that never stops sending must not outlast them either
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer.append(chunk, n);
            return ReadStatus::Data;
        }
        if (n == 0)
            return ReadStatus::Closed;
        if (errno == EINTR)
            continue;
        if (errno == ECONNRESET)
            return ReadStatus::Closed;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw AppError(QStringLiteral("Cannot receive: %1").arg(systemReason(errno)));
        if (!waitFor(m_socket, POLLIN, deadline, m_limits))
            return ReadStatus::TimedOut;
    }
}

void TcpConnection::close() noexcept
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

#endif // _WIN32
