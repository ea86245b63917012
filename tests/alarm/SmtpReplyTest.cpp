#include "alarm/SmtpReply.h"
#include "MailTestPrinters.h"

#include <gtest/gtest.h>

namespace {

SmtpReply parseAll(const QList<QByteArray>& lines, int* used = nullptr)
{
    SmtpReplyParser parser;
    int count = 0;
    for (const QByteArray& line : lines) {
        ++count;
        if (parser.addLine(line))
            break;
    }
    if (used)
        *used = count;
    return parser.reply();
}

} // namespace

TEST(SmtpReply, AThreeLineReplyEndsAtTheLineWithABlankAfterTheCode)
{
    int used = 0;
    const SmtpReply reply =
        parseAll({"250-mail.example.com", "250-SIZE 1000", "250 AUTH LOGIN", "220 not part of it"}, &used);
    EXPECT_EQ(used, 3);
    EXPECT_EQ(reply.code, QByteArray("250"));
    EXPECT_EQ(reply.number(), 250);
    EXPECT_EQ(reply.textLines, (QList<QByteArray>{"mail.example.com", "SIZE 1000", "AUTH LOGIN"}));
    EXPECT_EQ(reply.failureText(), QStringLiteral("mail.example.com\r\nSIZE 1000\r\nAUTH LOGIN\r\n"));
}

TEST(SmtpReply, LinesAreTrimmedAndEmptyOnesSkipped)
{
    int used = 0;
    const SmtpReply reply = parseAll({"", " \t", "  354-go\t", "\x01", "354 on  "}, &used);
    EXPECT_EQ(used, 5);
    EXPECT_EQ(reply.number(), 354);
    EXPECT_EQ(reply.textLines, (QList<QByteArray>{"go", "on"}));
}

TEST(SmtpReply, ContinuationEndsOnTheCodeOrOnAShortLineAndALineWithoutCodeAtOnce)
{
    int used = 0;
    SmtpReply reply = parseAll({"250-one", "220 other", "251 two", "250 three", "250 four"}, &used);
    EXPECT_EQ(used, 4);
    EXPECT_EQ(reply.textLines, (QList<QByteArray>{"one", "other", "two", "three"}));
    reply = parseAll({"SSH-2.0-OpenSSH_9.2", "SSH more"}, &used);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(reply.number(), -1);
    reply = parseAll({"250-one", "250-two", "25", "250 never"}, &used);
    EXPECT_EQ(used, 3);
    EXPECT_EQ(reply.textLines, (QList<QByteArray>{"one", "two", ""}));
}

TEST(SmtpReply, FailureTextNamesAReplyThatIsNoReply)
{
    const QList<std::pair<QList<QByteArray>, QString>> cases = {
        {{"550 5.1.1 no such user"}, QStringLiteral("5.1.1 no such user\r\n")},
        {{"550"}, QStringLiteral("550\r\n")},
        {{"hello there"}, QStringLiteral("Invalid reply from the SMTP server: hello there\r\n")},
        {{"??"}, QStringLiteral("Invalid reply from the SMTP server: ??\r\n")},
        {{"5x0 odd"}, QStringLiteral("Invalid reply from the SMTP server: 5x0 odd\r\n")},
    };
    for (const auto& [lines, text] : cases)
        EXPECT_EQ(parseAll(lines).failureText(), text) << lines.first().constData();
}

TEST(SmtpMechanisms, AuthLinesInEitherFormAreCollectedOnceInUpperCase)
{
    struct Case {
        QList<QByteArray> lines;
        QStringList mechanisms;
        bool login;
    };
    const Case cases[] = {
        // The blank or "=" after AUTH gives an empty first part, which is collected too.
        {{"mail.example.com", "AUTH=LOGIN", "SIZE 100"}, {"", "LOGIN"}, true},
        {{"AUTH PLAIN LOGIN"}, {"", "PLAIN", "LOGIN"}, true},
        {{"AUTH PLAIN"}, {"", "PLAIN"}, false},
        {{"auth login cram-md5", "AUTH=LOGIN PLAIN"}, {"", "LOGIN", "CRAM-MD5", "PLAIN"}, true},
        {{"AUTH  LOGIN"}, {"", "LOGIN"}, true},
        {{"AUTHX LOGIN", "XAUTH LOGIN", "AUTH"}, {}, false},
        {{"AUTH=PLAIN=LOGIN"}, {"", "PLAIN", "LOGIN"}, true},
    };
    for (const Case& c : cases) {
        QStringList mechanisms;
        SmtpMechanisms::collect(c.lines, mechanisms);
        EXPECT_EQ(mechanisms, c.mechanisms) << c.lines.join('|').constData();
        EXPECT_EQ(mechanisms.contains(QStringLiteral("LOGIN")), c.login);
    }
}
