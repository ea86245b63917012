#pragma once

#include "alarm/MailContent.h"
#include "alarm/MailMessage.h"
#include "alarm/SmtpReply.h"
#include "alarm/SubjectCharset.h"
#include "platform/TcpConnection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <initializer_list>

// Delivers one mail to an SMTP server over a plain TCP connection: greeting, EHLO (HELO for servers
// that do not know it), AUTH LOGIN when chosen and offered, MAIL, RCPT, DATA. The body goes as 8bit
// to a server that advertises 8BITMIME and as base64 to any other. No encryption, no attachments. connect() and send()
// raise AppError with the failure text: the server's reply text for a refused command, the reason of the socket layer
// otherwise.
class SmtpClient {
public:
    enum class Authentication { None, Login };

    // The longest the client waits for a connection, for any one reply, or for the server to take
    // data; the monitor's window is blocked while it waits.
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{60000};
    // The longest one mail may take from connect() on, however quickly each reply comes.
    static constexpr std::chrono::milliseconds kDefaultMailLimit{120000};
    static inline const QString kAbandonedText = QStringLiteral("Mail abandoned: the monitor is ending");

    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    void setHost(const QString& host) { m_host = host; }
    void setPort(int port) { m_port = port; }
    void setUserName(const QString& userName) { m_userName = userName; }
    void setPassword(const QString& password) { m_password = password; }
    void setAuthentication(Authentication authentication) { m_authentication = authentication; }
    // Empty (the default): the computer's own host name.
    void setGreetingName(const QString& name) { m_greetingName = name; }
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    void setMailLimit(std::chrono::milliseconds limit) { m_mailLimit = limit; }
    // A handle whose becoming readable abandons the mail at once with kAbandonedText (the end of
    // the program, see TerminationFlag); -1: none.
    void setStopHandle(int handle) { m_stopHandle = handle; }
    void setSubjectCharset(const SubjectCharset& charset) { m_charset = charset; }

    // Opens the connection, reads the greeting (220) and introduces the client. On failure the
    // connection is closed again (with "QUIT" when it was open) and AppError is raised.
    void connect();

    // Transfers one message. On failure AppError is raised and the connection stays open.
    void send(const MailMessage& message);

    // "QUIT" without waiting for the answer, then close. Does nothing when not connected; never fails.
    void disconnect() noexcept;

    bool isConnected() const { return m_connection.isOpen(); }
    bool isAuthenticated() const { return m_authenticated; }
    const QStringList& advertisedMechanisms() const { return m_mechanisms; }
    bool loginAvailable() const { return m_mechanisms.contains(QStringLiteral("LOGIN")); }

private:
    using Codes = std::initializer_list<int>;

    SmtpReply readReply();
    QByteArray readLine(TcpConnection::Clock::time_point deadline);
    // Sends one command line; an empty list of codes accepts any reply.
    SmtpReply command(const QByteArray& line, Codes accepted);
    void expect(const SmtpReply& reply, Codes accepted) const;
    void introduce();
    void authenticate();
    void writeContent(const MailMessage& message, MailContent::Transfer transfer);
    QByteArray greetingName() const;

    QString m_host;
    int m_port = 25;
    QString m_userName;
    QString m_password;
    Authentication m_authentication = Authentication::None;
    QString m_greetingName;
    std::chrono::milliseconds m_timeLimit = kDefaultTimeLimit;
    std::chrono::milliseconds m_mailLimit = kDefaultMailLimit;
    int m_stopHandle = -1;
    SubjectCharset m_charset;

    TcpConnection m_connection;
    QByteArray m_inbound;
    qsizetype m_scanned = 0; // bytes of m_inbound already searched for LF
    QStringList m_mechanisms;
    bool m_eightBitMime = false; // the EHLO reply advertised 8BITMIME
    bool m_authenticated = false;
};
