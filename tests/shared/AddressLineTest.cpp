#include "shared/AddressLine.h"

#include <gtest/gtest.h>

TEST(AddressLine, FieldsAreTakenByTheFirstSeparators)
{
    struct Case {
        QString line;
        QString host;
        QString key;
        std::optional<int> quality;
        int rtt;
    } cases[] = {
        {QStringLiteral("127.0.0.1:本地地址"), QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1:本地地址"),
         std::nullopt, 0},
        {QStringLiteral("127.0.0.1:本地地址=100%,0"), QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1:本地地址"),
         100, 0},
        // Blanks around the colon and before "=": the host loses them, the key keeps the inner ones.
        {QStringLiteral(" 10.1.1.1 : 机房 =80%,20"), QStringLiteral("10.1.1.1"), QStringLiteral("10.1.1.1 : 机房"), 80,
         20},
        // Two "=": only the first separates; the quality is read up to the first "%".
        {QStringLiteral("h:n=50%,7=9%,3"), QStringLiteral("h"), QStringLiteral("h:n"), 50, 0},
        {QStringLiteral("h:n=100%"), QStringLiteral("h"), QStringLiteral("h:n"), 100, 0},
        {QStringLiteral("h:n=abc%,x"), QStringLiteral("h"), QStringLiteral("h:n"), std::nullopt, 0},
        // No ":": the host is the whole trimmed line, suffix included.
        {QStringLiteral(" nohost=37%,812"), QStringLiteral("nohost=37%,812"), QStringLiteral("nohost"), 37, 812},
        // No "=": the key is the whole line, untrimmed.
        {QStringLiteral(" a:b "), QStringLiteral("a"), QStringLiteral(" a:b "), std::nullopt, 0},
        {QString(), QString(), QString(), std::nullopt, 0},
        // The full-width colon is not a separator.
        {QStringLiteral("主机：名称"), QStringLiteral("主机：名称"), QStringLiteral("主机：名称"), std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(AddressLine::host(c.line), c.host);
        EXPECT_EQ(AddressLine::entryKey(c.line), c.key);
        EXPECT_EQ(AddressLine::storedQuality(c.line), c.quality);
        EXPECT_EQ(AddressLine::storedRtt(c.line), c.rtt);
    }
}

TEST(AddressLine, RewritesKeepTheEntryKey)
{
    EXPECT_EQ(AddressLine::withSuffix(QStringLiteral("127.0.0.1:本地地址=37%,812"), AddressLine::startupSuffix()),
              QStringLiteral("127.0.0.1:本地地址=100%"));
    EXPECT_EQ(AddressLine::withSuffix(QStringLiteral("a:b"), AddressLine::resetSuffix()), QStringLiteral("a:b=100%,0"));
    EXPECT_EQ(AddressLine::withSuffix(QString(), AddressLine::startupSuffix()), QStringLiteral("=100%"));
    EXPECT_EQ(AddressLine::withSuffix(QStringLiteral("a:b=1%,2"), AddressLine::cycleSuffix(38, 808)),
              QStringLiteral("a:b=38%,808"));
}

TEST(AddressLine, StandingFollowsTheSuffixAndTheAlarmThresholds)
{
    using S = AddressLine::Standing;
    const struct {
        const char* line;
        S expected;
    } cases[] = {
        {"10.0.0.1:甲", S::Normal},         {"10.0.0.1:甲=100%", S::Normal}, {"10.0.0.1:甲=100%,499", S::Normal},
        {"10.0.0.1:甲=51%,10", S::Normal},  {"10.0.0.1:甲=50%,10", S::Poor}, {"10.0.0.1:甲=100%,500", S::Poor},
        {"10.0.0.1:甲=0%,5000", S::Down},   {"10.0.0.1:甲=0%,0", S::Down},   {"10.0.0.1:甲=x%,9999", S::Normal},
        {" 10.0.0.1:甲=1%,10 \r", S::Poor},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddressLine::standing(QString::fromUtf8(c.line), 50, 500), c.expected) << c.line;
}
