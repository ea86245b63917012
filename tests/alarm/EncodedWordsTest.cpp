#include "alarm/EncodedWords.h"
#include "MailTestPrinters.h"
#include "alarm/SubjectCharset.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>

namespace {

const SubjectCharset kGb2312{"GB2312", 'B', "GBK"};
const SubjectCharset kBig5{"Big5", 'B', "Big5"};
const SubjectCharset kJis{"ISO-2022-JP", 'B', "ISO-2022-JP"};
const SubjectCharset kKorean{"EUC-KR", 'B', "EUC-KR"};
const SubjectCharset kLatin1{"ISO-8859-1", 'Q', "ISO-8859-1"};

QByteArray encodeText(const QString& text, const SubjectCharset& charset)
{
    return EncodedWords::encode(SubjectCharsets::bytesOf(charset, text), charset);
}

} // namespace

TEST(SubjectCharsets, EveryLanguageRowGivesItsCharsetAndMethod)
{
    struct Row {
        QLocale::Language language;
        QLocale::Territory territory;
        SubjectCharset expected;
    };
    const Row rows[] = {
        {QLocale::Chinese, QLocale::China, kGb2312},     {QLocale::Chinese, QLocale::Taiwan, kBig5},
        {QLocale::Chinese, QLocale::HongKong, kBig5},    {QLocale::Chinese, QLocale::Macao, kBig5},
        {QLocale::Chinese, QLocale::Singapore, kBig5},   {QLocale::Japanese, QLocale::Japan, kJis},
        {QLocale::Korean, QLocale::SouthKorea, kKorean}, {QLocale::English, QLocale::UnitedStates, kLatin1},
        {QLocale::German, QLocale::Germany, kLatin1},    {QLocale::Russian, QLocale::Russia, kLatin1},
        {QLocale::C, QLocale::AnyTerritory, kLatin1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SubjectCharsets::forLanguage(row.language, row.territory), row.expected)
            << QLocale::languageToString(row.language).toStdString() << "/"
            << QLocale::territoryToString(row.territory).toStdString();
    }
    // What the monitor writes with, whatever the system's language.
    EXPECT_EQ(SubjectCharsets::codePage936(), kGb2312);
}

TEST(SubjectCharsets, EveryRowConvertsTextToItsOwnCodePage)
{
    struct Row {
        SubjectCharset charset;
        QString text;
        QByteArray hex;
    };
    const Row rows[] = {
        {kGb2312, "接受 a", "bdd3cadc2061"}, {kGb2312, "報", "88f3"}, // GBK beyond GB2312: the monitor's texts are GBK
        {kBig5, "網路", "baf4b8f4"},         {kJis, "警報 x", "1b244237594a731b28422078"},
        {kKorean, "경보", "b0e6bab8"},       {kLatin1, "Störung", "5374f672756e67"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SubjectCharsets::bytesOf(row.charset, row.text).toHex(), row.hex) << row.charset.charset.data();
}

TEST(EncodedWords, EncodesExactlyTheWordsThatNeedIt)
{
    struct Case {
        SubjectCharset charset;
        QString text;
        QByteArray expected;
    };
    const Case cases[] = {
        {kGb2312, "接受监控的网络报警信息", "=?GB2312?B?vdPK3Lzgv9i1xM34wuexqL6v0MXPog==?="},
        {kGb2312, "Tarnwicker发送的测试邮件", "=?GB2312?B?VGFybndpY2tlcreiy821xLLiytTTyrz+?="},
        {kGb2312, "Plain ASCII subject, 100% = ok?", "Plain ASCII subject, 100% = ok?"},
        {kGb2312, "", ""},
        {kGb2312, "Alarm 接受 ok", "Alarm =?GB2312?B?vdPK3A==?= ok"},
        {kGb2312, "接受 监控 ok", "=?GB2312?B?vdPK3CC84L/Y?= ok"},
        {kGb2312, "a  \t接受", "a  \t=?GB2312?B?vdPK3A==?="},
        {kGb2312, "ok 接受 ", "ok =?GB2312?B?vdPK3A==?= "},
        {kBig5, "網路報警", "=?Big5?B?uvS49LP4xLU=?="},
        {kJis, "ネットワーク警報", "=?ISO-2022-JP?B?GyRCJU0lQyVIJW8hPCUvN1lKcxsoQg==?="},
        {kKorean, "네트워크 경보", "=?EUC-KR?B?s9fGrr/2xakgsOa6uA==?="},
        {kLatin1, "café au lait", "=?ISO-8859-1?Q?caf=E9?= au lait"},
        {kLatin1, "é a_é=?", "=?ISO-8859-1?Q?=E9_a=5F=E9=3D=3F?="},
        {kLatin1, "x=y? a_b", "x=y? a_b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(encodeText(c.text, c.charset), c.expected) << c.text.toStdString();
}

TEST(EncodedWords, ALongRunIsCutIntoWordsOfAtMost75Characters)
{
    // 120 GBK bytes: 45 bytes would fill a word of 11 + 60 + 2 = 73 characters, but the 45th is the
    // first half of a character, so each word takes 44.
    const QByteArray encoded = encodeText(QString("报警").repeated(30), kGb2312);
    EXPECT_EQ(encoded, QByteArray("=?GB2312?B?sai+r7Govq+xqL6vsai+r7Govq+xqL6vsai+r7Govq+xqL6vsai+r7Govq8=?=\r\n\t"
                                  "=?GB2312?B?sai+r7Govq+xqL6vsai+r7Govq+xqL6vsai+r7Govq+xqL6vsai+r7Govq8=?=\r\n\t"
                                  "=?GB2312?B?sai+r7Govq+xqL6vsai+r7Govq+xqL6vsai+r7Govq8=?="));

    // Q: "=?ISO-8859-1?Q?" is 15, with "?=" 17; 19 encoded bytes of 3 characters fit, a 20th would not.
    const QByteArray q = encodeText(QString(40, QChar(0xe9)), kLatin1);
    const QList<QByteArray> words = q.split('\n');
    ASSERT_EQ(words.size(), 3);
    EXPECT_EQ(words[0], "=?ISO-8859-1?Q?" + QByteArray("=E9").repeated(19) + "?=\r");
    EXPECT_EQ(words[1], "\t=?ISO-8859-1?Q?" + QByteArray("=E9").repeated(19) + "?=\r");
    EXPECT_EQ(words[2], "\t=?ISO-8859-1?Q?=E9=E9?=");
}

TEST(EncodedWords, EveryWordOfALongRunDecodesAloneToWholeCharacters)
{
    // A reader decodes each encoded word on its own: every one must be valid text in its charset, and
    // an ISO-2022-JP word must switch to JIS itself and end in ASCII.
    const QString mixed = QStringLiteral("核心交换机A不通 质量=0%,报警x");
    const std::pair<SubjectCharset, QString> rows[] = {
        {kGb2312, mixed.repeated(4)},
        {kBig5, QStringLiteral("網路報警a").repeated(12)},
        {kKorean, QStringLiteral("네트워크경보b").repeated(10)},
        {kJis, QStringLiteral("ネットワーク警報c").repeated(10)},
        {kLatin1, QStringLiteral("Störung").repeated(12)},
    };
    const QRegularExpression word(QStringLiteral("^=\\?([^?]+)\\?([BQ])\\?([^?]*)\\?=$"));
    for (const auto& [charset, text] : rows) {
        const QByteArray encoded = encodeText(text, charset);
        QString decoded;
        int count = 0;
        for (const QByteArray& piece : encoded.split('\n')) {
            const QByteArray trimmed = piece.trimmed();
            EXPECT_LE(trimmed.size(), EncodedWords::kWordLimit) << charset.charset.data();
            const auto match = word.match(QString::fromLatin1(trimmed));
            ASSERT_TRUE(match.hasMatch()) << trimmed.data();
            QByteArray bytes = match.captured(3).toLatin1();
            if (match.captured(2) == QLatin1String("B"))
                bytes = QByteArray::fromBase64(bytes);
            else
                bytes = QByteArray::fromPercentEncoding(bytes.replace('_', ' '), '=');
            if (charset == kJis) {
                EXPECT_GE(bytes.lastIndexOf("\x1b(B"), bytes.lastIndexOf("\x1b$")) << trimmed.data();
            }
            QStringDecoder decoder(charset.codec.constData());
            decoded += decoder.decode(bytes);
            EXPECT_FALSE(decoder.hasError()) << charset.charset.data() << " word " << count;
            ++count;
        }
        EXPECT_GT(count, 1) << charset.charset.data();
        EXPECT_EQ(decoded, text) << charset.charset.data();
    }
}

TEST(EncodedWords, ADisplayNameIsOnePhraseWithItsSpecialsEncoded)
{
    const std::pair<QString, QByteArray> cases[] = {
        {"Li, 值班", "=?GB2312?B?TGksINa1sOA=?="},
        {"值班 \"A\" <x>", "=?GB2312?B?1rWw4CAiQSIgPHg+?="},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(EncodedWords::encodePhrase(SubjectCharsets::bytesOf(kGb2312, name), kGb2312), expected);
    EXPECT_EQ(
        EncodedWords::encodePhrase(SubjectCharsets::bytesOf(kLatin1, QStringLiteral("Müller, A_b (x)!*+-/")), kLatin1),
        QByteArray("=?ISO-8859-1?Q?M=FCller=2C_A=5Fb_=28x=29!*+-/?="));
}

TEST(EncodedWords, QDataEscapesControlHighAndSpecialBytes)
{
    EXPECT_EQ(EncodedWords::qData("a b"), QByteArray("a_b"));
    EXPECT_EQ(EncodedWords::qData("=?_"), QByteArray("=3D=3F=5F"));
    EXPECT_EQ(EncodedWords::qData(QByteArray("\x00\x1f\x7f\xff", 4)), QByteArray("=00=1F=7F=FF"));
    EXPECT_EQ(EncodedWords::qData("~!<>"), QByteArray("~!<>"));
}
