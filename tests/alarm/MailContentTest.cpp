#include "alarm/MailContent.h"
#include "MailTestPrinters.h"
#include "alarm/EncodedWords.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const SubjectCharset kGb2312 = SubjectCharsets::codePage936();

QDateTime at(const char* zone, int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone(zone));
}

} // namespace

TEST(MailContent, DateCarriesTheZoneOffsetOfThatMomentDaylightSavingIncluded)
{
    const std::pair<QDateTime, QByteArray> cases[] = {
        {at("Asia/Shanghai", 2025, 1, 5, 9, 3, 7), "Sun, 5 Jan 2025 09:03:07 +0800"},
        {at("Europe/Berlin", 2024, 7, 1, 23, 59, 59), "Mon, 1 Jul 2024 23:59:59 +0200"},
        {at("Europe/Berlin", 2024, 12, 31, 0, 0, 0), "Tue, 31 Dec 2024 00:00:00 +0100"},
        {at("America/New_York", 2024, 2, 29, 12, 30, 0), "Thu, 29 Feb 2024 12:30:00 -0500"},
        {at("America/St_Johns", 2024, 8, 10, 6, 5, 4), "Sat, 10 Aug 2024 06:05:04 -0230"},
        {at("Asia/Kolkata", 2023, 11, 15, 18, 0, 9), "Wed, 15 Nov 2023 18:00:09 +0530"},
        {at("UTC", 2000, 3, 26, 1, 2, 3), "Sun, 26 Mar 2000 01:02:03 +0000"},
    };
    for (const auto& [moment, text] : cases)
        EXPECT_EQ(MailContent::dateText(moment), text);
}

TEST(MailContent, AddressesAreBareQuotedOrEncoded)
{
    EXPECT_EQ(MailContent::addressText({"", "ops@example.com"}, kGb2312), QByteArray("ops@example.com"));
    EXPECT_EQ(MailContent::addressText({"Night Duty", "n@example.com"}, kGb2312),
              QByteArray("\"Night Duty\" <n@example.com>"));
    EXPECT_EQ(MailContent::addressText({"Say \"hi\" \\o/", "x@example.com"}, kGb2312),
              QByteArray("\"Say \\\"hi\\\" \\\\o/\" <x@example.com>"));
    EXPECT_EQ(MailContent::addressText({"接受", "zs@example.cn"}, kGb2312),
              QByteArray("=?GB2312?B?vdPK3A==?= <zs@example.cn>"));
    // One phrase: a reader must not take "Li" for a mailbox of its own.
    EXPECT_EQ(MailContent::addressText({"Li, 值班", "li@example.com"}, kGb2312),
              QByteArray("=?GB2312?B?TGksINa1sOA=?= <li@example.com>"));
}

TEST(MailContent, LongHeaderLinesAreFoldedAtBlanksAndCommas)
{
    const QByteArray shortLine = "To: a@example.com, b@example.com";
    EXPECT_EQ(MailContent::foldHeaderLine(shortLine), shortLine);

    QByteArray to = "To: ";
    for (int i = 0; i < 8; ++i)
        to += (i ? ", " : "") + QByteArray("mailbox") + QByteArray::number(i) + "@example.com";
    const QByteArray folded = MailContent::foldHeaderLine(to);
    EXPECT_EQ(folded, QByteArray("To: mailbox0@example.com, mailbox1@example.com, mailbox2@example.com,\r\n"
                                 " mailbox3@example.com, mailbox4@example.com, mailbox5@example.com,\r\n"
                                 " mailbox6@example.com, mailbox7@example.com"));
    for (const QByteArray& piece : folded.split('\n'))
        EXPECT_LE(piece.size(), MailContent::kHeaderLineLimit + 1); // + the CR
    QByteArray unfolded = folded;
    unfolded.replace("\r\n ", " ");
    EXPECT_EQ(unfolded, to);

    // Trailing blanks of a piece are cut; a long word with no place to break stays whole.
    const QByteArray blanks = "Subject: " + QByteArray(60, 'a') + "      " + QByteArray(20, 'b');
    EXPECT_EQ(MailContent::foldHeaderLine(blanks), "Subject: " + QByteArray(60, 'a') + "\r\n " + QByteArray(20, 'b'));
    const QByteArray word = "Subject: " + QByteArray(100, 'w');
    EXPECT_EQ(MailContent::foldHeaderLine(word), word);
    const QByteArray late = "Subject: " + QByteArray(100, 'w') + " tail";
    EXPECT_EQ(MailContent::foldHeaderLine(late), "Subject: " + QByteArray(100, 'w') + "\r\n tail");
}

TEST(MailContent, TheAlarmMailHeaderHasItsLinesInOrderAndNothingElse)
{
    MailMessage message;
    message.from = {"", "Alarm@Example.com"};
    message.sender = "Alarm@Example.com";
    message.to = {{"", "ops@example.com"}, {"Night Duty", "n@example.com"}};
    message.subject = QStringLiteral("接受监控的网络报警信息");
    const QByteArray block = MailContent::headerBlock(message, at("Asia/Shanghai", 2025, 1, 5, 9, 3, 7), kGb2312,
                                                      MailContent::Transfer::Base64);
    EXPECT_EQ(block, QByteArray("From: Alarm@Example.com\r\n"
                                "Subject: =?GB2312?B?vdPK3Lzgv9i1xM34wuexqL6v0MXPog==?=\r\n"
                                "To: ops@example.com, \"Night Duty\" <n@example.com>\r\n"
                                "Sender: Alarm@Example.com\r\n"
                                "Date: Sun, 5 Jan 2025 09:03:07 +0800\r\n"
                                "X-Priority: 3\r\n"
                                "X-Library: Tarnwicker Mailer 2.0\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=GBK\r\n"
                                "Content-Transfer-Encoding: base64\r\n"
                                "\r\n"));
}

TEST(MailContent, EncodedWordsKeepEveryHeaderLineWithin76Characters)
{
    MailMessage message;
    message.from = {QStringLiteral("报警").repeated(20), "a@example.com"};
    message.to = {{"", "ops@example.com"}, {QStringLiteral("Li, 值班").repeated(8), "li@example.com"}};
    message.subject = QStringLiteral("接受监控的网络报警信息：核心交换机与出口路由器不通");
    const QByteArray block =
        MailContent::headerBlock(message, at("UTC", 2025, 1, 5, 9, 3, 7), kGb2312, MailContent::Transfer::EightBit);
    // "Subject: " leaves 67 characters: 38 bytes, whole characters, in the first word.
    EXPECT_TRUE(block.contains("\r\nSubject: =?GB2312?B?vdPK3Lzgv9i1xM34wuexqL6v0MXPoqO6usvQxL27u7u7+tPrs/Y=?=\r\n"
                               "\t=?GB2312?B?v9rCt9PJxveyu82o?=\r\nTo: "))
        << block.constData();
    EXPECT_TRUE(block.endsWith("Content-Transfer-Encoding: 8bit\r\n\r\n"));
    for (const QByteArray& line : block.split('\n'))
        EXPECT_LE(line.size(), EncodedWords::kLineLimit + 1) << line.constData(); // + the CR
}

TEST(MailContent, HeaderValuesCannotStartHeaderLinesOfTheirOwn)
{
    MailMessage message;
    message.from = {"", "a@example.com"};
    message.to = {{"", "b@example.com"}};
    message.cc = {{"Copy", "c@example.com"}};
    message.subject = QStringLiteral("hello\r\nBcc: victim@example.com");
    const QByteArray block =
        MailContent::headerBlock(message, at("UTC", 2025, 1, 5, 9, 3, 7), kGb2312, MailContent::Transfer::EightBit);
    EXPECT_TRUE(block.contains("Subject: hello  Bcc: victim@example.com\r\n"));
    EXPECT_TRUE(block.contains("\r\nCc: \"Copy\" <c@example.com>\r\nDate: "));
    EXPECT_FALSE(block.contains("\nBcc"));
}

TEST(MailContent, BodyLinesAreGbkWithDotsDoubledAtTheStart)
{
    MailContent::BodyEncoder body;
    QByteArray out;
    for (const QString& line : {QString("."), QString(".."), QString(""), QString("a.b"), QString("中文 100%,:="),
                                QString(" .x"), QString("one\r\n.two\nthree\r.")})
        body.append(out, line);
    EXPECT_EQ(out, QByteArray("..\r\n...\r\n\r\na.b\r\n\xd6\xd0\xce\xc4 100%,:=\r\n .x\r\n"
                              "one\r\n..two\r\nthree\r\n..\r\n"));
}

TEST(MailContent, InBase64TheBodyIsTheSameTextInLinesOf76)
{
    const QStringList some = {".", "", QString("中文 100%,:=").repeated(9), "one\r\n.two"};
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many += some;
    for (const QStringList& body : {QStringList(), QStringList{"."}, some, many}) {
        QByteArray eightBit;
        QByteArray base64;
        MailContent::BodyEncoder plain(MailContent::Transfer::EightBit);
        MailContent::BodyEncoder encoded(MailContent::Transfer::Base64);
        for (const QString& line : body) {
            plain.append(eightBit, line);
            encoded.append(base64, line);
        }
        plain.finish(eightBit);
        encoded.finish(base64);
        QByteArray decoded;
        QList<QByteArray> lines = base64.split('\n');
        EXPECT_EQ(lines.takeLast(), QByteArray()); // every line ends in CR LF
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            EXPECT_TRUE(i + 1 == lines.size() ? line.size() <= 77 : line.size() == 77) << line.constData();
            decoded += QByteArray::fromBase64(line.chopped(1));
        }
        QByteArray unstuffed = "\r\n" + eightBit;
        unstuffed.replace("\r\n..", "\r\n.");
        EXPECT_EQ(decoded, unstuffed.mid(2)) << body.size();
    }
}

TEST(MailContent, EightBitOnlyWhenTheServerTakesItAndNoLineIsTooLong)
{
    const QString longest = QString(499, QChar(0x4e2d)); // 998 GBK bytes
    const struct {
        QStringList body;
        bool server;
        MailContent::Transfer expected;
    } cases[] = {
        {{"中文"}, true, MailContent::Transfer::EightBit},
        {{"中文"}, false, MailContent::Transfer::Base64},
        {{longest, QString(998, 'a')}, true, MailContent::Transfer::EightBit},
        {{"a", longest + 'a'}, true, MailContent::Transfer::Base64},
        {{QString(999, 'a')}, true, MailContent::Transfer::Base64},
        {{}, true, MailContent::Transfer::EightBit},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MailContent::transferFor(c.body, c.server), c.expected) << c.body.value(0).size();
}
