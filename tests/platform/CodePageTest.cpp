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

TEST(CodePage, InvalidBytesAreDetectedAndStillDecoded)
{
    const QByteArray bad("abc\xff\xfe");
    EXPECT_FALSE(CodePage::isValidGbk(bad));
    EXPECT_TRUE(CodePage::isValidGbk(QByteArray("\xb1\xbe")));
    EXPECT_TRUE(CodePage::fromGbk(bad).startsWith(QStringLiteral("abc")));
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
