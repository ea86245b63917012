#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ChineseTextIsTwoBytesPerCharacterInGbk)
{
    const QByteArray gbk = CodePage::toGbk(QStringLiteral("本地地址"));
    EXPECT_EQ(gbk, QByteArray("\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7"));
    EXPECT_EQ(CodePage::fromGbk(gbk), QStringLiteral("本地地址"));
}

TEST(CodePage, SeparatorsBesideChineseSurviveTheRoundTrip)
{
    const QString text = QStringLiteral("127.0.0.1:本地=100%,0：全角");
    EXPECT_EQ(CodePage::fromGbk(CodePage::toGbk(text)), text);
}

TEST(CodePage, EveryCharacterGbkCannotHoldBecomesAQuestionMark)
{
    const struct {
        QString text;
        QByteArray gbk;
    } cases[] = {
        {QStringLiteral("a\uFE02b"), "a?b"},                  // variation selector
        {QStringLiteral("a\u00ADb"), "a?b"},                  // soft hyphen
        {QStringLiteral("a\u200Bb\u200Dc"), "a?b?c"},         // zero-width space and joiner
        {QStringLiteral("\uFEFF\u6C34\uFE0F"), "?\xcb\xae?"}, // byte-order mark, 水, emoji selector
        {QStringLiteral("a") + QChar(0xD83D), "a?"},          // lone surrogate at the end
        {QStringLiteral("a") + QChar(0xDE00) + QStringLiteral("b") + QChar(0xD83D) + QStringLiteral("c"), "a?b?c"},
        {QStringLiteral("\U0001F600\u00e9"), "?\xa8\xa6"}, // emoji, é
    };
    for (const auto& c : cases) {
        const QByteArray gbk = CodePage::toGbk(c.text);
        EXPECT_EQ(gbk, c.gbk) << c.text.toStdString();
        EXPECT_NE(CodePage::fromGbk(gbk), c.text); // the round trip shows the loss
    }
}

TEST(CodePage, TextThatWouldNotComeBackByteForByteIsNotGbk)
{
    const QByteArray cases[] = {
        QByteArray("a\xff b"), // undefined byte
        QByteArray("a\x81"),   // lead byte cut off at the end
        QByteArray("a\x81 b"), // lead byte followed by a blank
        QByteArray("a\0b", 3), // binary
    };
    for (const QByteArray& bad : cases) {
        EXPECT_FALSE(CodePage::isValidGbk(bad)) << bad.toHex().toStdString();
        EXPECT_TRUE(CodePage::fromGbk(bad).startsWith(u'a'));
    }
    EXPECT_TRUE(CodePage::isValidGbk(QByteArray("\xb1\xbe\x80 ascii"))); // 0x80 is the euro sign in code page 936
    EXPECT_TRUE(CodePage::isValidGbk(QByteArray()));
}

TEST(CodePage, Utf8ChineseIsRecognisedAsProbablyNotGbk)
{
    EXPECT_TRUE(CodePage::looksLikeUtf8(QStringLiteral("快查").toUtf8()));
    EXPECT_FALSE(CodePage::looksLikeUtf8(CodePage::toGbk(QStringLiteral("本地地址"))));
    EXPECT_FALSE(CodePage::looksLikeUtf8(QByteArray("plain ascii")));
}

TEST(CodePage, SplitLinesAcceptsEveryLineEnd)
{
    struct Case {
        QByteArray content;
        QList<QByteArray> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"", {}},
        {"\r\n", {""}},
        {"a\n\rb", {"a", "", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePage::splitLines(c.content), c.lines) << c.content.toStdString();
}

TEST(CodePage, JoinWritesCrLfAfterEveryLine)
{
    EXPECT_EQ(CodePage::joinCrLf({"a", "", "b"}), QByteArray("a\r\n\r\nb\r\n"));
    EXPECT_EQ(CodePage::joinCrLf({}), QByteArray());
}
