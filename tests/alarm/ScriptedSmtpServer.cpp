#include "ScriptedSmtpServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kStepMs = 20;                            // how often the thread looks at the stop flag
constexpr auto kLongestRun = std::chrono::seconds(30); // no scripted connection lives longer

int listenOnLoopback(int& port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket, 4) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("scripted SMTP server cannot listen on loopback");
    port = ntohs(address.sin_port);
    return socket;
}

void sendAll(int socket, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

} // namespace

ScriptedSmtpServer::ScriptedSmtpServer(QList<QByteArray> replies)
    : m_replies(std::move(replies))
{
    m_listener = listenOnLoopback(m_port);
    m_thread = std::thread(&ScriptedSmtpServer::serve, this);
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

int ScriptedSmtpServer::closedPort()
{
    int port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

QByteArray ScriptedSmtpServer::transcript()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    std::lock_guard lock(m_mutex);
    return m_transcript;
}

// Reads one command line, or in the data phase everything up to the lone "."; false when the client
// closed the connection or the server is stopping.
bool ScriptedSmtpServer::readUnit(int socket, QByteArray& pending, bool data)
{
    const QByteArray end = data ? QByteArrayLiteral("\r\n.\r\n") : QByteArrayLiteral("\n");
    const auto until = std::chrono::steady_clock::now() + kLongestRun;
    for (;;) {
        const qsizetype at = data && pending.startsWith(".\r\n") ? 0 : pending.indexOf(end);
        if (at >= 0) {
            const qsizetype length = data && at == 0 && pending.startsWith(".\r\n") ? 3 : at + end.size();
            pending.remove(0, length);
            return true;
        }
        if (m_stop || std::chrono::steady_clock::now() > until)
            return false;
        pollfd entry{socket, POLLIN, 0};
        if (::poll(&entry, 1, kStepMs) <= 0)
            continue;
        char chunk[65536];
        const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        pending.append(chunk, n);
        std::lock_guard lock(m_mutex);
        m_transcript.append(chunk, n);
    }
}

void ScriptedSmtpServer::serve()
{
    int socket = -1;
    while (!m_stop && socket < 0) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, kStepMs) > 0)
            socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (socket < 0) {
        m_done = true;
        return;
    }
    m_connected = true;
    QByteArray pending;
    bool data = false;
    bool listening = true;
    for (qsizetype next = 0; listening; ++next) {
        if (next > 0)
            listening = readUnit(socket, pending, data);
        data = false;
        if (!listening || next >= m_replies.size())
            continue;
        QByteArray reply = m_replies[next];
        if (reply.startsWith(kSlow)) {
            std::this_thread::sleep_for(kSlowDelay);
            reply.remove(0, kSlow.size());
        }
        if (reply.endsWith(kClose)) {
            sendAll(socket, reply.chopped(kClose.size()));
            break;
        }
        if (reply == kStall) {
            m_replies = m_replies.mid(0, next + 1); // listen on, answer nothing
            continue;
        }
        sendAll(socket, reply);
        data = reply.startsWith("354");
    }
    ::close(socket);
    m_done = true;
}
