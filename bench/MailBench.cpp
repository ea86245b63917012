// Sends one alarm mail whose body is an information pane of 100,000 lines to an SMTP sink on loopback,
// once as 8bit to a sink that advertises 8BITMIME and once as base64 to one that does not, and reports
// the time of SendAlarmMail and the peak memory of the process. Goal: under 1 s.
#include "alarm/MailAlarm.h"
#include "alarm/PasswordScrambler.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr int kPaneLines = 100000;

// A server that says yes to everything and swallows the mail, counting its bytes.
class SinkServer {
public:
    explicit SinkServer(bool eightBit)
        : m_ehlo(eightBit ? "250-sink\r\n250-8BITMIME\r\n250 AUTH LOGIN\r\n" : "250-sink\r\n250 AUTH LOGIN\r\n")
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread(&SinkServer::serve, this);
    }
    ~SinkServer()
    {
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    long long dataBytes() const { return m_dataBytes; }

private:
    void say(int socket, const char* text) { (void)::send(socket, text, strlen(text), MSG_NOSIGNAL); }

    void serve()
    {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 10000) <= 0)
            return;
        const int socket = ::accept(m_listener, nullptr, nullptr);
        say(socket, "220 sink\r\n");
        QByteArray pending;
        bool data = false;
        int authLinesLeft = 0;
        char chunk[1 << 16];
        for (;;) {
            pollfd in{socket, POLLIN, 0};
            if (::poll(&in, 1, 10000) <= 0)
                break;
            const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            pending.append(chunk, n);
            if (data) {
                m_dataBytes += n;
                if (!pending.endsWith("\r\n.\r\n")) {
                    pending = pending.right(4); // enough to see the end mark across reads
                    continue;
                }
                data = false;
                pending.clear();
                say(socket, "250 stored\r\n");
                continue;
            }
            while (pending.contains('\n')) {
                const QByteArray line = pending.left(pending.indexOf('\n') + 1);
                pending.remove(0, line.size());
                if (line.startsWith("DATA")) {
                    data = true;
                    say(socket, "354 go\r\n");
                } else if (line.startsWith("EHLO")) {
                    say(socket, m_ehlo);
                } else if (authLinesLeft > 0) {
                    --authLinesLeft; // user name, then password
                    say(socket, authLinesLeft > 0 ? "334 UGFzc3dvcmQ6\r\n" : "235 ok\r\n");
                } else if (line.startsWith("AUTH LOGIN")) {
                    authLinesLeft = 2;
                    say(socket, "334 VXNlcm5hbWU6\r\n");
                } else if (line.startsWith("QUIT")) {
                    say(socket, "221 bye\r\n");
                } else {
                    say(socket, "250 ok\r\n");
                }
            }
        }
        ::close(socket);
    }

    const char* m_ehlo;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<long long> m_dataBytes{0};
    std::thread m_thread;
};

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main()
{
    QStringList pane;
    pane.reserve(kPaneLines);
    for (int i = 0; i < kPaneLines; ++i)
        pane.append(QStringLiteral("2025-01-05 09:%1:%2 -> 10.0.%3.%4:核心交换机%5 质量=%6%,平均响应时间=%7ms")
                        .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .arg(i / 256 % 256)
                        .arg(i % 256)
                        .arg(i)
                        .arg(i % 101)
                        .arg(i % 997));
    pane[10] = QStringLiteral(".a line with a leading dot");
    const long peakBefore = peakKiB();

    for (const bool eightBit : {true, false}) {
        SinkServer server(eightBit);
        MailSettings settings;
        settings.recipients = QStringLiteral("ops@example.com; duty@example.com");
        settings.sender = QStringLiteral("Alarm@Example.com");
        settings.scrambledPassword = PasswordScrambler::scramble(QStringLiteral("s3cret"));
        settings.authenticate = true;
        settings.server = QStringLiteral("127.0.0.1");
        settings.portText = QString::number(server.port());
        QStringList result;
        MailAlarm alarm({[&] { return settings; }, [&] { return pane; },
                         [&](const QString& line) { result.append(line); }, [] {}, [] {}});

        const auto started = std::chrono::steady_clock::now();
        alarm.SendAlarmMail(MailAlarm::kAlarmSubject);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const long peakAfter = peakKiB();

        std::printf("%s mail of %d pane lines: %.3f s (goal < 1 s), %lld bytes of content sent\n",
                    eightBit ? "8bit" : "base64", kPaneLines, seconds, static_cast<long long>(server.dataBytes()));
        std::printf("peak memory: %ld KiB before the sends (pane built), %ld KiB after (+%ld KiB)\n", peakBefore,
                    peakAfter, peakAfter - peakBefore);
        std::printf("result line: %s\n", result.value(0).toUtf8().constData());
    }
    return 0;
}
