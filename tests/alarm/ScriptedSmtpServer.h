#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// An SMTP server for exact dialogues: it listens on a loopback port, takes one connection, sends the
// first reply at once (the greeting) and then one reply for every line the client sends (for the mail
// content after a "354" reply: for everything up to the lone "."). Every byte the client sent is kept.
// When the script is used up it only listens, until the client closes.
class ScriptedSmtpServer {
public:
    // Instead of a reply: close the connection (also at the end of a reply), or never answer again.
    static inline const QByteArray kClose = QByteArrayLiteral("<close>");
    static inline const QByteArray kStall = QByteArrayLiteral("<stall>");
    // Before a reply: send it only after kSlowDelay, a server slow at every step but never too slow.
    static inline const QByteArray kSlow = QByteArrayLiteral("<slow>");
    static constexpr std::chrono::milliseconds kSlowDelay{200};

    explicit ScriptedSmtpServer(QList<QByteArray> replies);
    ~ScriptedSmtpServer();

    int port() const { return m_port; }

    // Waits (at most 10 s) until the client has closed the connection, then returns all it sent.
    QByteArray transcript();
    // True once a client has connected.
    bool wasConnected() const { return m_connected; }

    // A loopback port on which nothing listens: connecting to it is refused.
    static int closedPort();

private:
    void serve();
    bool readUnit(int socket, QByteArray& pending, bool data);
    void finish();

    QList<QByteArray> m_replies;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_done{false};
    std::mutex m_mutex;
    QByteArray m_transcript;
    std::thread m_thread;
};
