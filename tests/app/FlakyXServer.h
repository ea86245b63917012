#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

// An X display whose server takes every connection but lets in only the clients its rule admits,
// passing those through to a real server. A bare connection that says nothing (a check that a server
// listens) is taken and closed; a client that sends its connection setup is refused with the reply a
// full server gives ("Maximum number of clients reached") or relayed to the real display, file
// descriptors and all.
class FlakyXServer {
public:
    struct Rule {
        int refuseFirst = 0;  // clients refused before any is admitted
        int admitAtMost = -1; // clients admitted after those; -1: every one; the rest are refused
    };

    FlakyXServer(int realDisplay, Rule rule)
        : m_realDisplay(realDisplay)
        , m_rule(rule)
    {
        for (int number = 700 + int(::getpid() % 200); number < 1000 && m_number < 0; ++number) {
            if (listenOn(number))
                m_number = number;
        }
        if (m_number >= 0)
            m_acceptor = std::thread([this] { acceptClients(); });
    }

    ~FlakyXServer()
    {
        m_stop = true;
        if (m_acceptor.joinable())
            m_acceptor.join();
        for (std::thread& relay : m_relays)
            relay.join();
        for (int fd : m_listeners)
            ::close(fd);
        if (m_number >= 0)
            ::unlink(path(m_number).c_str());
    }

    // ":N", or empty when no display number was free.
    QString name() const { return m_number < 0 ? QString() : QStringLiteral(":%1").arg(m_number); }
    int refused() const { return m_refused; }
    int admitted() const { return m_admitted; }

private:
    static std::string path(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }

    static int unixSocket(int number, bool abstract, bool bind)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string name = path(number);
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, name.data(), name.size());
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + name.size());
        const auto* any = reinterpret_cast<const sockaddr*>(&address);
        if ((bind ? ::bind(fd, any, length) : ::connect(fd, any, length)) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    // Both names an X server listens on, the abstract one and the file, as the X library tries them.
    bool listenOn(int number)
    {
        if (::access(path(number).c_str(), F_OK) == 0)
            return false;
        const int abstract = unixSocket(number, true, true);
        if (abstract < 0)
            return false;
        const int file = unixSocket(number, false, true);
        if (file < 0) {
            ::close(abstract);
            return false;
        }
        ::listen(abstract, 8);
        ::listen(file, 8);
        m_listeners = {abstract, file};
        return true;
    }

    void acceptClients()
    {
        while (!m_stop) {
            pollfd fds[2] = {{m_listeners[0], POLLIN, 0}, {m_listeners[1], POLLIN, 0}};
            if (::poll(fds, 2, 100) <= 0)
                continue;
            for (const pollfd& listener : fds) {
                if (listener.revents & POLLIN)
                    serve(::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
            }
        }
    }

    void serve(int client)
    {
        if (client < 0)
            return;
        pollfd wait{client, POLLIN, 0};
        char setup[12];
        if (::poll(&wait, 1, 2000) <= 0 || ::recv(client, setup, sizeof setup, MSG_WAITALL) != sizeof setup) {
            ::close(client); // a bare check, or a client that gave up
            return;
        }
        const int handshake = m_refused + m_admitted;
        const bool admit =
            handshake >= m_rule.refuseFirst && (m_rule.admitAtMost < 0 || m_admitted < m_rule.admitAtMost);
        if (!admit) {
            refuse(client, setup[0] == 'B');
            ++m_refused;
            return;
        }
        const int server = unixSocket(m_realDisplay, false, false);
        if (server < 0 || ::send(server, setup, sizeof setup, MSG_NOSIGNAL) != sizeof setup) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            return;
        }
        ++m_admitted;
        m_relays.emplace_back([this, client, server] { relay(client, server); });
    }

    // The connection setup's failure reply: status 0, the reason's length, protocol 11.0, the
    // length of what follows in 4-byte units, the reason padded to four bytes.
    static void refuse(int client, bool bigEndian)
    {
        const QByteArray reason = "Maximum number of clients reached";
        QByteArray padded = reason + QByteArray((4 - reason.size() % 4) % 4, '\0');
        auto card16 = [bigEndian](int value) {
            const char high = char(value >> 8), low = char(value & 0xff);
            return bigEndian ? QByteArray{&high, 1} + QByteArray{&low, 1} : QByteArray{&low, 1} + QByteArray{&high, 1};
        };
        QByteArray reply(1, '\0');
        reply += char(reason.size());
        reply += card16(11) + card16(0) + card16(int(padded.size() / 4)) + padded;
        ::send(client, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
        ::shutdown(client, SHUT_WR);
        ::close(client);
    }

    // Passes one read on, with the file descriptors that came with it: Qt hands the server its shared
    // memory that way.
    static bool forward(int from, int to)
    {
        char buffer[65536];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 16)];
        iovec data{buffer, sizeof buffer};
        msghdr in{};
        in.msg_iov = &data;
        in.msg_iovlen = 1;
        in.msg_control = control;
        in.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(from, &in, MSG_CMSG_CLOEXEC);
        if (n <= 0)
            return false;
        data.iov_len = size_t(n);
        msghdr out{};
        out.msg_iov = &data;
        out.msg_iovlen = 1;
        if (in.msg_controllen > 0) {
            out.msg_control = control;
            out.msg_controllen = in.msg_controllen;
        }
        const bool sent = ::sendmsg(to, &out, MSG_NOSIGNAL) == n;
        for (cmsghdr* c = CMSG_FIRSTHDR(&in); c; c = CMSG_NXTHDR(&in, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
                const auto* fds = reinterpret_cast<const int*>(CMSG_DATA(c));
                for (size_t i = 0; i < (c->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i)
                    ::close(fds[i]);
            }
        }
        return sent;
    }

    void relay(int client, int server)
    {
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        bool open = true;
        while (open && !m_stop) {
            if (::poll(fds, 2, 100) <= 0)
                continue;
            for (int i = 0; i < 2 && open; ++i) {
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    open = forward(fds[i].fd, fds[1 - i].fd);
            }
        }
        ::close(client);
        ::close(server);
    }

    int m_realDisplay;
    Rule m_rule;
    int m_number = -1;
    std::vector<int> m_listeners;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_refused{0};
    std::atomic<int> m_admitted{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_relays; // touched only by the acceptor until it has ended
};
