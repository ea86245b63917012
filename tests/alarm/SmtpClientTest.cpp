#include "alarm/SmtpClient.h"
#include "MailTestPrinters.h"
#include "NetNamespaces.h"
#include "ScriptedSmtpServer.h"
#include "platform/AppError.h"
#include "platform/TerminationFlag.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

const QByteArray kGreeting = "220 mail.example.com ESMTP\r\n";
const QByteArray kOk = "250 ok\r\n";

QByteArray ehloWith(const QByteArray& authLine)
{
    return "250-mail.example.com\r\n250-SIZE 10240000\r\n250-" + authLine + "\r\n250 8BITMIME\r\n";
}

MailMessage simpleMessage()
{
    MailMessage message;
    message.from = {"", "Alarm@Example.com"};
    message.sender = "Alarm@Example.com";
    message.to = {{"", "ops@example.com"}};
    message.subject = QStringLiteral("Ping alarm");
    message.body = QStringList{"line one", ".dot"};
    message.date = QDateTime(QDate(2025, 1, 5), QTime(9, 3, 7), QTimeZone("Asia/Shanghai"));
    return message;
}

const QByteArray kSimpleHeader = "From: Alarm@Example.com\r\n"
                                 "Subject: Ping alarm\r\n"
                                 "To: ops@example.com\r\n"
                                 "Sender: Alarm@Example.com\r\n"
                                 "Date: Sun, 5 Jan 2025 09:03:07 +0800\r\n"
                                 "X-Priority: 3\r\n"
                                 "X-Library: Tarnwicker Mailer 2.0\r\n"
                                 "MIME-Version: 1.0\r\n"
                                 "Content-Type: text/plain; charset=GBK\r\n"
                                 "Content-Transfer-Encoding: ";
// The simple message's content, up to the lone "." that ends it: 8bit with its dot doubled, or base64.
const QByteArray kSimple8bit = kSimpleHeader + "8bit\r\n\r\nline one\r\n..dot\r\n.\r\n";
const QByteArray kSimpleBase64 = kSimpleHeader + "base64\r\n\r\nbGluZSBvbmUNCi5kb3QNCg==\r\n.\r\n";

struct Client : SmtpClient {
    explicit Client(int port, Authentication authentication = Authentication::None)
    {
        setHost("127.0.0.1");
        setPort(port);
        setUserName("alarm@example.com");
        setPassword("s3cret");
        setAuthentication(authentication);
        setGreetingName("tester");
        setTimeLimit(5s);
    }
};

// Runs connect and send, and returns the failure text (empty when both succeeded).
QString attempt(SmtpClient& client, const MailMessage& message = simpleMessage())
{
    try {
        client.connect();
        client.send(message);
    } catch (const AppError& error) {
        client.disconnect();
        return error.text();
    }
    client.disconnect();
    return QString();
}

} // namespace

TEST(SmtpClient, AuthenticatesWithLoginAndSendsTheWholeDialogue)
{
    ScriptedSmtpServer server({kGreeting, ehloWith("AUTH PLAIN LOGIN"), kOk, "334 VXNlcm5hbWU6\r\n",
                               "334 UGFzc3dvcmQ6\r\n", "235 2.7.0 Authentication successful\r\n", kOk, kOk,
                               "354 go ahead\r\n", "250 queued as 1\r\n"});
    Client client(server.port(), SmtpClient::Authentication::Login);
    client.connect();
    EXPECT_EQ(client.advertisedMechanisms(), (QStringList{"", "PLAIN", "LOGIN"}));
    client.send(simpleMessage());
    EXPECT_TRUE(client.isAuthenticated());
    client.disconnect();
    EXPECT_FALSE(client.isAuthenticated());
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(server.transcript(), "EHLO tester\r\n"
                                   "RSET\r\n"
                                   "AUTH LOGIN\r\n"
                                   "YWxhcm1AZXhhbXBsZS5jb20=\r\n"
                                   "czNjcmV0\r\n"
                                   "MAIL FROM:<Alarm@Example.com> BODY=8BITMIME\r\n"
                                   "RCPT TO:<ops@example.com>\r\n"
                                   "DATA\r\n" +
                                       kSimple8bit + "QUIT\r\n");
}

TEST(SmtpClient, AuthenticatesOnlyWhenLoginIsAdvertisedAndChosen)
{
    struct Case {
        QByteArray authLine;
        SmtpClient::Authentication chosen;
        bool authenticates;
    };
    const Case cases[] = {
        {"AUTH=LOGIN", SmtpClient::Authentication::Login, true},
        {"AUTH PLAIN LOGIN", SmtpClient::Authentication::Login, true},
        {"AUTH PLAIN", SmtpClient::Authentication::Login, false},
        {"AUTH PLAIN LOGIN", SmtpClient::Authentication::None, false},
    };
    for (const Case& c : cases) {
        QList<QByteArray> replies = {kGreeting, ehloWith(c.authLine), kOk};
        if (c.authenticates)
            replies += {"334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"};
        replies += {kOk, kOk, "354 go\r\n", kOk};
        ScriptedSmtpServer server(replies);
        Client client(server.port(), c.chosen);
        EXPECT_EQ(attempt(client), QString()) << c.authLine.constData();
        const QByteArray expectedStart =
            c.authenticates ? "EHLO tester\r\nRSET\r\nAUTH LOGIN\r\n" : "EHLO tester\r\nRSET\r\nMAIL FROM:";
        EXPECT_TRUE(server.transcript().startsWith(expectedStart)) << c.authLine.constData();
    }
}

TEST(SmtpClient, AServerThatRefusesEhloIsGreetedWithHeloAndGetsNoAuthentication)
{
    ScriptedSmtpServer server(
        {kGreeting, "500 command not recognized\r\n", "250 hello\r\n", kOk, kOk, kOk, "354 go\r\n", kOk});
    Client client(server.port(), SmtpClient::Authentication::Login);
    EXPECT_EQ(attempt(client), QString());
    EXPECT_EQ(server.transcript(), "EHLO tester\r\nHELO tester\r\nRSET\r\nMAIL FROM:<Alarm@Example.com>\r\n"
                                   "RCPT TO:<ops@example.com>\r\nDATA\r\n" +
                                       kSimpleBase64 + "QUIT\r\n");
}

TEST(SmtpClient, TheBodyGoesAs8bitOnlyToAServerThatAdvertises8BitMime)
{
    const std::pair<QByteArray, bool> cases[] = {
        {"250-mail.example.com\r\n250-8bitmime\r\n250 SIZE 1000\r\n", true},
        {"250-mail.example.com\r\n250 SIZE 1000\r\n", false},
        {"250 8BITMIME.example.com\r\n", false}, // the server's name, no extension
        {"250-mail.example.com\r\n250 8BITMIMEX\r\n", false},
    };
    for (const auto& [ehlo, eightBit] : cases) {
        ScriptedSmtpServer server({kGreeting, ehlo, kOk, kOk, kOk, "354 go\r\n", kOk});
        Client client(server.port());
        EXPECT_EQ(attempt(client), QString());
        EXPECT_EQ(server.transcript(), "EHLO tester\r\nRSET\r\nMAIL FROM:<Alarm@Example.com>" +
                                           QByteArray(eightBit ? " BODY=8BITMIME" : "") +
                                           "\r\nRCPT TO:<ops@example.com>\r\nDATA\r\n" +
                                           (eightBit ? kSimple8bit : kSimpleBase64) + "QUIT\r\n")
            << ehlo.constData();
    }
}

TEST(SmtpClient, ConnectFailsAndSaysQuitWhenGreetingOrHeloIsRefused)
{
    {
        ScriptedSmtpServer server({"554 no service here\r\n"});
        Client client(server.port());
        EXPECT_THROW(
            try { client.connect(); } catch (const AppError& error) {
                EXPECT_EQ(error.text(), QStringLiteral("no service here\r\n"));
                throw;
            },
            AppError);
        EXPECT_FALSE(client.isConnected());
        EXPECT_EQ(server.transcript(), "QUIT\r\n");
    }
    {
        ScriptedSmtpServer server({kGreeting, "502 no\r\n", "501-bad\r\n501-greeting\r\n501 name\r\n"});
        Client client(server.port());
        EXPECT_EQ(attempt(client), QStringLiteral("bad\r\ngreeting\r\nname\r\n"));
        EXPECT_EQ(server.transcript(), "EHLO tester\r\nHELO tester\r\nQUIT\r\n");
    }
}

TEST(SmtpClient, EveryRecipientGetsItsRcptAndOneToLineListsThemAll)
{
    ScriptedSmtpServer server(
        {kGreeting, ehloWith("AUTH PLAIN"), kOk, kOk, kOk, "251 will forward\r\n", kOk, "354 go\r\n", kOk});
    Client client(server.port());
    MailMessage message = simpleMessage();
    message.to = {{"", "a@example.com"}, {"B", "b@example.com"}};
    message.bcc = {{"", "c@example.com"}};
    message.body.clear();
    EXPECT_EQ(attempt(client, message), QString());
    const QByteArray transcript = server.transcript();
    EXPECT_TRUE(transcript.contains("MAIL FROM:<Alarm@Example.com> BODY=8BITMIME\r\nRCPT TO:<a@example.com>\r\n"
                                    "RCPT TO:<b@example.com>\r\nRCPT TO:<c@example.com>\r\nDATA\r\n"));
    EXPECT_TRUE(transcript.contains("\r\nTo: a@example.com, \"B\" <b@example.com>\r\nSender: "));
    EXPECT_FALSE(transcript.contains("c@example.com>\r\nSender")); // blind copies stay out of the header
    EXPECT_TRUE(transcript.endsWith("Content-Transfer-Encoding: 8bit\r\n\r\n.\r\nQUIT\r\n"));
}

TEST(SmtpClient, TheSubjectGoesOutUnderEveryCharsetRow)
{
    struct Row {
        SubjectCharset charset;
        QString subject;
        QByteArray line;
    };
    const Row rows[] = {
        {{"GB2312", 'B', "GBK"}, "接受监控的网络报警信息", "Subject: =?GB2312?B?vdPK3Lzgv9i1xM34wuexqL6v0MXPog==?="},
        {{"Big5", 'B', "Big5"}, "網路報警", "Subject: =?Big5?B?uvS49LP4xLU=?="},
        {{"ISO-2022-JP", 'B', "ISO-2022-JP"},
         "ネットワーク警報",
         "Subject: =?ISO-2022-JP?B?GyRCJU0lQyVIJW8hPCUvN1lKcxsoQg==?="},
        {{"EUC-KR", 'B', "EUC-KR"}, "네트워크 경보", "Subject: =?EUC-KR?B?s9fGrr/2xakgsOa6uA==?="},
        {{"ISO-8859-1", 'Q', "ISO-8859-1"}, "Netzstörung um 9 Uhr", "Subject: =?ISO-8859-1?Q?Netzst=F6rung?= um 9 Uhr"},
    };
    for (const Row& row : rows) {
        ScriptedSmtpServer server({kGreeting, kOk, kOk, kOk, kOk, "354 go\r\n", kOk});
        Client client(server.port());
        client.setSubjectCharset(row.charset);
        MailMessage message = simpleMessage();
        message.subject = row.subject;
        EXPECT_EQ(attempt(client, message), QString());
        EXPECT_TRUE(server.transcript().contains("\r\n" + row.line + "\r\nTo: ")) << row.charset.charset.data();
    }
}

TEST(SmtpClient, DotsAndEmptyLinesOfTheBodyReachTheWireStuffed)
{
    ScriptedSmtpServer server({kGreeting, ehloWith("AUTH PLAIN"), kOk, kOk, kOk, "354 go\r\n", kOk});
    Client client(server.port());
    MailMessage message = simpleMessage();
    message.body = QStringList{".", "", "..", ".\r\n.", "end"};
    EXPECT_EQ(attempt(client, message), QString());
    EXPECT_TRUE(server.transcript().endsWith("\r\n\r\n..\r\n\r\n...\r\n..\r\n..\r\nend\r\n.\r\nQUIT\r\n"));
}

TEST(SmtpClient, RefusalsAndBrokenServersEndInOneFailureText)
{
    struct Case {
        const char* what;
        QList<QByteArray> replies;
        QString failure;
    };
    const Case cases[] = {
        {"closes after EHLO",
         {kGreeting, kOk, kOk, ScriptedSmtpServer::kClose},
         "The SMTP server closed the connection"},
        {"closes in the greeting",
         {"220-still\r\n" + ScriptedSmtpServer::kClose},
         "The SMTP server closed the connection"},
        {"garbage greeting",
         {"Hello, this is no mail server\r\n"},
         "Invalid reply from the SMTP server: Hello, this is no mail server\r\n"},
        {"binary garbage",
         {QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\n", 12)},
         "Invalid reply from the SMTP server: \\xFC\r\n"},
        {"refuses AUTH",
         {kGreeting, ehloWith("AUTH LOGIN"), kOk, "535 5.7.8 authentication failed\r\n"},
         "5.7.8 authentication failed\r\n"},
        {"refuses the password",
         {kGreeting, ehloWith("AUTH LOGIN"), kOk, "334 a\r\n", "334 b\r\n", "535 wrong\r\n"},
         "wrong\r\n"},
        {"refuses MAIL", {kGreeting, kOk, kOk, "553 sender rejected\r\n"}, "sender rejected\r\n"},
        {"accepts MAIL, refuses RCPT",
         {kGreeting, kOk, kOk, kOk, "550 5.1.1 no such user\r\n"},
         "5.1.1 no such user\r\n"},
        {"refuses DATA", {kGreeting, kOk, kOk, kOk, kOk, "554 no valid recipients\r\n"}, "no valid recipients\r\n"},
        {"refuses the content", {kGreeting, kOk, kOk, kOk, kOk, "354 go\r\n", "552 too big\r\n"}, "too big\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedSmtpServer server(c.replies);
        Client client(server.port(), SmtpClient::Authentication::Login);
        const QString failure = attempt(client);
        EXPECT_EQ(failure, c.failure) << c.what << ": " << failure.toStdString();
        EXPECT_FALSE(client.isConnected()) << c.what;
    }
}

TEST(SmtpClient, ReplyLinesUpToTheLimitPassAndLongerOnesFail)
{
    const QByteArray longest = "220 " + QByteArray(SmtpReplyParser::kLineLimit - 4, 'x') + "\r\n";
    {
        ScriptedSmtpServer server({longest, kOk, kOk, kOk, kOk, "354 go\r\n", kOk});
        Client client(server.port());
        EXPECT_EQ(attempt(client), QString());
    }
    const QString tooLong = QStringLiteral("Reply line of the SMTP server longer than 16384 characters");
    for (const QByteArray& greeting :
         {"220 " + QByteArray(SmtpReplyParser::kLineLimit - 3, 'x') + "\r\n", QByteArray(1000000, 'x')}) {
        ScriptedSmtpServer server({greeting});
        Client client(server.port());
        EXPECT_EQ(attempt(client), tooLong);
    }
}

TEST(SmtpClient, AReplyThatNeverEndsFailsInsteadOfFillingMemory)
{
    ScriptedSmtpServer server({"220-again\r\n" + QByteArray("220-again\r\n").repeated(SmtpReplyParser::kMaxLines)});
    Client client(server.port());
    EXPECT_EQ(attempt(client), QStringLiteral("Reply of the SMTP server longer than 1000 lines"));
}

TEST(SmtpClient, ASilentServerFailsAtTheTimeLimit)
{
    for (const QList<QByteArray>& replies :
         {QList<QByteArray>{ScriptedSmtpServer::kStall},
          QList<QByteArray>{kGreeting, kOk, kOk, kOk, kOk, "354 go\r\n", ScriptedSmtpServer::kStall}}) {
        ScriptedSmtpServer server(replies);
        Client client(server.port());
        client.setTimeLimit(250ms);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(attempt(client), QStringLiteral("No reply from the SMTP server within 0.25 s"));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    }
}

TEST(SmtpClient, OneMailEndsAtItsOverallLimitOrAtTheEndOfTheProgram)
{
    const QByteArray slow = ScriptedSmtpServer::kSlow;
    struct Row {
        QList<QByteArray> replies;
        std::optional<std::chrono::milliseconds> raiseAfter; // the end of the program, that long after connect
        QString failure;
    };
    const Row rows[] = {
        // Each reply just inside the step limit: only the limit on the whole mail ends it.
        {{slow + kGreeting, slow + ehloWith("AUTH LOGIN"), slow + kOk, slow + kOk, slow + kOk},
         {},
         QStringLiteral("The mail was not sent within 0.5 s")},
        {{kGreeting, ehloWith("AUTH LOGIN"), ScriptedSmtpServer::kStall}, 100ms, SmtpClient::kAbandonedText},
        {{ScriptedSmtpServer::kStall}, 0ms, SmtpClient::kAbandonedText},
    };
    for (const Row& row : rows) {
        ScriptedSmtpServer server(row.replies);
        Client client(server.port());
        client.setTimeLimit(5s);
        client.setMailLimit(500ms);
        TerminationFlag termination;
        client.setStopHandle(termination.handle());
        std::thread ending;
        if (row.raiseAfter)
            ending = std::thread([&] {
                std::this_thread::sleep_for(*row.raiseAfter);
                termination.raise();
            });
        EXPECT_EQ(attempt(client), row.failure);
        if (ending.joinable())
            ending.join();
    }
}

// The name is looked up where the question cannot leave the machine.
TEST(SmtpClient, AServerNameThatDoesNotResolveIsNamedWithTheResolversReason)
{
    if (const std::string why = NetNamespaces::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    NetNamespaces::LoopbackOnly isolated;
    isolated.runIn([] {
        Client unresolved(25);
        unresolved.setHost("x.invalid");
        const QString notFound = attempt(unresolved);
        EXPECT_TRUE(notFound.startsWith(QStringLiteral("Host not found: x.invalid ("))) << notFound.toStdString();
    });
}

TEST(SmtpClient, ConnectionProblemsGiveTheReasonOfTheSocketLayer)
{
    const int port = ScriptedSmtpServer::closedPort();
    Client refused(port);
    EXPECT_EQ(attempt(refused), QStringLiteral("Cannot connect to 127.0.0.1:%1: Connection refused").arg(port));

    for (int bad : {0, -1, 65536}) {
        Client invalid(bad);
        EXPECT_EQ(attempt(invalid), QStringLiteral("Invalid port number %1").arg(bad));
    }
    Client noHost(25);
    noHost.setHost("  ");
    EXPECT_EQ(attempt(noHost), QStringLiteral("No host name given"));
}

TEST(SmtpClient, AddressesThatWouldWriteCommandsOfTheirOwnAreRefusedBeforeSending)
{
    ScriptedSmtpServer server({kGreeting, kOk, kOk, kOk, kOk, "354 go\r\n", kOk});
    Client client(server.port());
    MailMessage message = simpleMessage();
    message.to = {{"", "ops@example.com>\r\nRCPT TO:<other@example.com"}};
    EXPECT_EQ(attempt(client, message),
              QStringLiteral("Invalid mail address: ops@example.com> RCPT TO:<other@example.com"));
    EXPECT_EQ(server.transcript(), "EHLO tester\r\nQUIT\r\n");
}

TEST(SmtpClient, AMessageWithoutRecipientsIsNotSent)
{
    ScriptedSmtpServer server({kGreeting, kOk});
    Client client(server.port());
    MailMessage message = simpleMessage();
    message.to.clear();
    EXPECT_EQ(attempt(client, message), QStringLiteral("No recipient address"));
    EXPECT_EQ(server.transcript(), "EHLO tester\r\nQUIT\r\n");
}

TEST(SmtpClient, ARefusedSendLeavesTheConnectionOpenUntilDisconnect)
{
    ScriptedSmtpServer server({kGreeting, kOk, kOk, kOk, "550 no such user\r\n"});
    Client client(server.port());
    client.connect();
    EXPECT_THROW(client.send(simpleMessage()), AppError);
    EXPECT_TRUE(client.isConnected());
    client.disconnect();
    client.disconnect(); // a second time does nothing
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(server.transcript(),
              "EHLO tester\r\nRSET\r\nMAIL FROM:<Alarm@Example.com>\r\nRCPT TO:<ops@example.com>\r\nQUIT\r\n");
}
