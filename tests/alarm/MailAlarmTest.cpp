#include "alarm/MailAlarm.h"
#include "MailTestPrinters.h"
#include "NetNamespaces.h"
#include "ScriptedSmtpServer.h"
#include "alarm/PasswordScrambler.h"
#include "shared/TimeStamp.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QByteArray kGreeting = "220 mail.example.com ESMTP\r\n";
const QByteArray kOk = "250 ok\r\n";
const QString kStamp = QStringLiteral("2025-01-05 09:03:07 -> ");

QDateTime fixedNow()
{
    return QDateTime(QDate(2025, 1, 5), QTime(9, 3, 7), QTimeZone("Asia/Shanghai"));
}

// The window as the mail alarm sees it: the mail page's fields, the information pane, the cursor.
struct FakeWindow {
    MailSettings settings;
    QStringList pane;
    QStringList appended;
    int cursorBegins = 0;
    int cursorEnds = 0;
    bool cursorWasOnWhileReading = false;

    MailAlarm::Host host()
    {
        return {
            [this] { return settings; },
            [this] {
                cursorWasOnWhileReading = cursorBegins == 1 && cursorEnds == 0;
                return pane;
            },
            [this](const QString& line) { appended.append(line); },
            [this] { ++cursorBegins; },
            [this] { ++cursorEnds; },
            [] { return fixedNow(); },
        };
    }
};

MailSettings settingsFor(int port)
{
    MailSettings settings;
    settings.recipients = QStringLiteral("ops@example.com; Night Duty <n@example.com>");
    settings.sender = QStringLiteral("Alarm@Example.COM");
    settings.scrambledPassword = PasswordScrambler::scramble(QStringLiteral("s3cret"));
    settings.authenticate = true;
    settings.server = QStringLiteral("127.0.0.1");
    settings.portText = QStringLiteral(" %1 ").arg(port);
    return settings;
}

// Sends one mail through the alarm and returns what it wrote into the pane.
QStringList sendThrough(FakeWindow& window, const QString& subject = MailAlarm::kAlarmSubject,
                        std::chrono::milliseconds limit = 5s)
{
    MailAlarm alarm(window.host());
    alarm.setGreetingName(QStringLiteral("tester"));
    alarm.setLocale(QLocale::c());
    alarm.setTimeLimit(limit);
    alarm.SendAlarmMail(subject);
    EXPECT_EQ(window.cursorBegins, 1);
    EXPECT_EQ(window.cursorEnds, 1);
    return window.appended;
}

} // namespace

TEST(MailAlarm, ClosingLineUsesTheShortDateAndLongTimeOfTheLocale)
{
    const std::pair<QLocale, QString> cases[] = {
        {QLocale::c(), "5 Jan 2025 09:03:07"},
        {QLocale(QLocale::Chinese, QLocale::China), "2025/1/5 09:03:07"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "1/5/25 9:03:07 AM"},
        {QLocale(QLocale::German, QLocale::Germany), "05.01.25 09:03:07"},
    };
    for (const auto& [locale, dateTime] : cases)
        EXPECT_EQ(MailAlarm::closingLine(fixedNow(), locale), QString(18, ' ') + "Tarnwicker " + dateTime);
}

TEST(MailAlarm, SettingsBecomeUserNamePortAndTimeStamp)
{
    const std::pair<QString, QString> users[] = {
        {"Alarm@Example.COM", "alarm@example.com"},
        {"ÄRGER.Zhang张@Example.cn", "Ärger.zhang张@example.cn"}, // ASCII letters only
        {"", ""},
    };
    for (const auto& [sender, user] : users)
        EXPECT_EQ(MailAlarm::userNameOf(sender), user);
    const std::pair<QString, int> ports[] = {{"abc", 25}, {"", 25}, {" 587 ", 587}, {"25x", 25}, {"465", 465}};
    for (const auto& [text, port] : ports)
        EXPECT_EQ(MailAlarm::portOf(text), port) << text.toStdString();
    EXPECT_EQ(TimeStamp::prefix(fixedNow()), kStamp);
    EXPECT_EQ(kStamp.size(), 23);
}

TEST(MailAlarm, TheMessageCarriesThePaneAndTheClosingLine)
{
    MailSettings settings = settingsFor(25);
    MailMessage message = MailAlarm::composeMessage(settings, MailAlarm::kTestSubject, {}, fixedNow(), QLocale::c());
    EXPECT_EQ(message.body, QStringList{MailAlarm::closingLine(fixedNow(), QLocale::c())});
    EXPECT_EQ(message.from.address, QStringLiteral("Alarm@Example.COM"));
    EXPECT_EQ(message.sender, QStringLiteral("Alarm@Example.COM"));
    EXPECT_EQ(message.subject, MailAlarm::kTestSubject);
    EXPECT_EQ(message.to, (QList<MailAddress>{{"", "ops@example.com"}, {"Night Duty", "n@example.com"}}));
    message = MailAlarm::composeMessage(settings, MailAlarm::kAlarmSubject, {"a", "b"}, fixedNow(), QLocale::c());
    EXPECT_EQ(message.body.size(), 3);
    EXPECT_EQ(message.body.first(), QStringLiteral("a"));
}

TEST(MailAlarm, SendsThePaneWithLoginAndReportsSuccess)
{
    ScriptedSmtpServer server({kGreeting, "250-mail.example.com\r\n250-AUTH=LOGIN\r\n250 8BITMIME\r\n", kOk,
                               "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n", kOk, kOk, kOk,
                               "354 go\r\n", kOk});
    FakeWindow window;
    window.settings = settingsFor(server.port());
    window.pane = {QStringLiteral("2025-01-05 09:00:00 -> 10.0.0.1:核心交换机 质量=0%,不通！"),
                   QStringLiteral(".hidden?"), QString()};
    EXPECT_EQ(sendThrough(window), QStringList{kStamp + MailAlarm::kSuccessText});
    EXPECT_TRUE(window.cursorWasOnWhileReading);
    EXPECT_EQ(server.transcript(),
              QByteArray("EHLO tester\r\nRSET\r\nAUTH LOGIN\r\nYWxhcm1AZXhhbXBsZS5jb20=\r\nczNjcmV0\r\n"
                         "MAIL FROM:<Alarm@Example.COM> BODY=8BITMIME\r\nRCPT TO:<ops@example.com>\r\n"
                         "RCPT TO:<n@example.com>\r\n"
                         "DATA\r\n"
                         "From: Alarm@Example.COM\r\n"
                         "Subject: =?GB2312?B?vdPK3Lzgv9i1xM34wuexqL6v0MXPog==?=\r\n"
                         "To: ops@example.com, \"Night Duty\" <n@example.com>\r\n"
                         "Sender: Alarm@Example.COM\r\n"
                         "Date: Sun, 5 Jan 2025 09:03:07 +0800\r\n"
                         "X-Priority: 3\r\n"
                         "X-Library: Tarnwicker Mailer 2.0\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: text/plain; charset=GBK\r\n"
                         "Content-Transfer-Encoding: 8bit\r\n"
                         "\r\n"
                         "2025-01-05 09:00:00 -> 10.0.0.1:\xba\xcb\xd0\xc4\xbd\xbb\xbb\xbb\xbb\xfa \xd6\xca\xc1\xbf=0%,"
                         "\xb2\xbb\xcd\xa8\xa3\xa1\r\n"
                         "..hidden?\r\n"
                         "\r\n"
                         "                  Tarnwicker 5 Jan 2025 09:03:07\r\n"
                         ".\r\n"
                         "QUIT\r\n"));
}

TEST(MailAlarm, WithoutAuthenticationNoLoginIsAttempted)
{
    ScriptedSmtpServer server(
        {kGreeting, "250-mail.example.com\r\n250 AUTH LOGIN\r\n", kOk, kOk, kOk, kOk, "354 go\r\n", kOk});
    FakeWindow window;
    window.settings = settingsFor(server.port());
    window.settings.authenticate = false;
    EXPECT_EQ(sendThrough(window, MailAlarm::kTestSubject), QStringList{kStamp + MailAlarm::kSuccessText});
    const QByteArray transcript = server.transcript();
    EXPECT_TRUE(transcript.startsWith("EHLO tester\r\nRSET\r\nMAIL FROM:<Alarm@Example.COM>\r\n"));
    EXPECT_TRUE(transcript.contains("\r\nSubject: =?GB2312?B?VGFybndpY2tlcreiy821xLLiytTTyrz+?=\r\n"));
}

TEST(MailAlarm, EveryFailureGivesOneLineWithItsReason)
{
    const QByteArray ehloLogin = "250-mail.example.com\r\n250 AUTH LOGIN\r\n";
    struct Case {
        const char* what;
        QList<QByteArray> replies;
        QString reason;
        std::function<void(MailSettings&)> change = [](MailSettings&) {};
    };
    const Case cases[] = {
        {"closes mid-dialogue",
         {kGreeting, ehloLogin, kOk, ScriptedSmtpServer::kClose},
         "The SMTP server closed the connection"},
        {"garbage", {"SSH-2.0-OpenSSH_9.2\r\n"}, "Invalid reply from the SMTP server: SSH-2.0-OpenSSH_9.2"},
        {"line over the limit",
         {"220 " + QByteArray(20000, 'x') + "\r\n"},
         "Reply line of the SMTP server longer than 16384 characters"},
        {"refuses AUTH",
         {kGreeting, ehloLogin, kOk, "535-5.7.8 Username and Password\r\n535 5.7.8 not accepted\r\n"},
         "5.7.8 Username and Password 5.7.8 not accepted"},
        {"refuses RCPT",
         {kGreeting, kOk, kOk, kOk, "550 5.1.1 mailbox unavailable\r\n"},
         "5.1.1 mailbox unavailable",
         [](MailSettings& s) { s.authenticate = false; }},
        {"silent", {kGreeting, ScriptedSmtpServer::kStall}, "No reply from the SMTP server within 0.3 s"},
        {"separators only",
         {kGreeting, kOk, kOk},
         "No recipient address",
         [](MailSettings& s) { s.recipients = QStringLiteral(" ;;, ,;\"\";<>; (x) "); }},
        {"quotes",
         {kGreeting, kOk, kOk, kOk, "501 5.1.3 Bad recipient address syntax\r\n"},
         "5.1.3 Bad recipient address syntax",
         [](MailSettings& s) {
             s.authenticate = false;
             s.recipients = QStringLiteral("\"ops@example.com; \"\"n@example.com");
         }},
        {"password no valid form",
         {kGreeting, ehloLogin, kOk, "334 a\r\n", "334 b\r\n", "535 empty\r\n"},
         "empty",
         [](MailSettings& s) { s.scrambledPassword = QStringLiteral("not hex"); }},
        {"port out of range",
         {},
         "Invalid port number 70000",
         [](MailSettings& s) { s.portText = QStringLiteral("70000"); }},
    };
    for (const Case& c : cases) {
        ScriptedSmtpServer server(c.replies);
        FakeWindow window;
        window.settings = settingsFor(server.port());
        c.change(window.settings);
        const QStringList pane = {QStringLiteral("line")};
        window.pane = pane;
        const auto started = std::chrono::steady_clock::now();
        const QStringList lines = sendThrough(window, MailAlarm::kAlarmSubject, 300ms);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << c.what;
        ASSERT_EQ(lines.size(), 1) << c.what;
        EXPECT_TRUE(lines.first().startsWith(kStamp + MailAlarm::kFailureText + c.reason))
            << c.what << ": " << lines.first().toStdString();
        EXPECT_FALSE(lines.first().contains('\n')) << c.what;
        EXPECT_EQ(window.pane, pane) << c.what;
    }
}

// Where a name's look-up cannot leave the machine and nothing listens on the loopback: a server name
// that does not resolve, and a port field of letters, which means port 25.
TEST(MailAlarm, AServerThatCannotBeFoundOrReachedIsReported)
{
    if (const std::string why = NetNamespaces::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    const struct {
        QString reason;
        std::function<void(MailSettings&)> change;
    } rows[] = {
        {"Host not found: x.invalid (", [](MailSettings& s) { s.server = QStringLiteral("x.invalid"); }},
        {"Cannot connect to 127.0.0.1:25: Connection refused",
         [](MailSettings& s) { s.portText = QStringLiteral("abc"); }},
    };
    NetNamespaces::LoopbackOnly isolated;
    isolated.runIn([&] {
        for (const auto& row : rows) {
            FakeWindow window;
            window.settings = settingsFor(25);
            row.change(window.settings);
            const QStringList lines = sendThrough(window);
            ASSERT_EQ(lines.size(), 1) << row.reason.toStdString();
            EXPECT_TRUE(lines.first().startsWith(kStamp + MailAlarm::kFailureText + row.reason))
                << lines.first().toStdString();
        }
    });
}
