#include "shared/TextSplit.h"

#include <gtest/gtest.h>

TEST(TextSplit, LeftAndRightPartsFollowTheFirstSeparator)
{
    struct Case {
        QString text;
        QChar sep;
        QString left;
        QString right;
    } cases[] = {
        {QStringLiteral("PingPara,PingCount"), u',', QStringLiteral("PingPara"), QStringLiteral("PingCount")},
        {QStringLiteral(" a , b , c "), u',', QStringLiteral("a"), QStringLiteral("b , c")},
        {QStringLiteral(" no separator "), u',', QStringLiteral(" no separator "), QString()},
        {QStringLiteral("本地:名称=80%,20"), u'=', QStringLiteral("本地:名称"), QStringLiteral("80%,20")},
        {QStringLiteral("=100%"), u'=', QString(), QStringLiteral("100%")},
        {QStringLiteral("x="), u'=', QStringLiteral("x"), QString()},
        {QStringLiteral("全角：冒号"), u':', QStringLiteral("全角：冒号"), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextSplit::leftPart(c.text, c.sep), c.left) << c.text.toStdString();
        EXPECT_EQ(TextSplit::rightPart(c.text, c.sep), c.right) << c.text.toStdString();
    }
}

TEST(TextSplit, TrimRemovesControlCharactersButNotFullWidthBlanks)
{
    EXPECT_EQ(TextSplit::trimmed(QStringLiteral("\t\x01 a b \x1f")), QStringLiteral("a b"));
    EXPECT_EQ(TextSplit::trimmed(QStringLiteral("\u3000a")), QStringLiteral("\u3000a"));
}

TEST(TextSplit, ToIntAcceptsSignedDecimalsOnly)
{
    EXPECT_EQ(TextSplit::toInt(QStringLiteral("30")), 30);
    EXPECT_EQ(TextSplit::toInt(QStringLiteral(" -4 ")), -4);
    EXPECT_EQ(TextSplit::toInt(QStringLiteral("abc")), std::nullopt);
    EXPECT_EQ(TextSplit::toInt(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(TextSplit::toInt(QStringLiteral("12x")), std::nullopt);
}
