#include "monitor/PingVerdict.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace PingVerdict;

TEST(PingVerdict, HalvesRoundToTheEvenNeighbour)
{
    const struct {
        qint64 numerator, denominator, rounded;
    } cases[] = {{125, 2, 62},    {75, 2, 38},  {1, 2, 0},   {3, 2, 2},   {5, 2, 2},  {5080, 5, 1016},
                 {5078, 5, 1016}, {102, 5, 20}, {-5, 2, -2}, {-7, 2, -4}, {-2, 5, 0}, {-3, 5, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(roundedQuotient(c.numerator, c.denominator), c.rounded) << c.numerator << "/" << c.denominator;
}

// Every share of answered requests up to 2000 per address against the exact rule: the per cent
// figure k nearest to answered / count, the even one when two are equally near.
TEST(PingVerdict, EveryCurrentQualityUpTo2000RequestsIsTheNearestPercentage)
{
    EXPECT_EQ(currentQuality(23, 40), 58);   // 57.5, which floating point sees as 57.4999...
    EXPECT_EQ(currentQuality(109, 200), 54); // 54.5
    for (qint64 count = 1; count <= 2000; ++count) {
        for (qint64 answered = 0; answered <= count; ++answered) {
            qint64 best = 0;
            qint64 bestDistance = answered * 100; // distance of k = 0, times count
            for (qint64 k = 1; k <= 100; ++k) {
                const qint64 distance = std::abs(answered * 100 - k * count);
                if (distance < bestDistance || (distance == bestDistance && k % 2 == 0)) {
                    best = k;
                    bestDistance = distance;
                }
            }
            ASSERT_EQ(currentQuality(int(answered), int(count)), best) << answered << " of " << count;
        }
    }
}

TEST(PingVerdict, WorkedExamplesOfQualityAndRoundTripTime)
{
    // Four answers, stored 100 and 0, round trips 10, 20, 30, 40.
    EXPECT_EQ(currentQuality(4, 4), 100);
    EXPECT_EQ(runningQuality(100, 100), 100);
    EXPECT_EQ(averageRtt(0 + 10 + 20 + 30 + 40, 4), 20);
    // Three answers and a timeout after stored 100 and 20.
    EXPECT_EQ(currentQuality(3, 4), 75);
    EXPECT_EQ(runningQuality(75, 100), 75);
    EXPECT_EQ(averageRtt(20 + 10 + 20 + 30 + 5000, 4), 1016);
    // The next cycle with two losses from 75.
    EXPECT_EQ(runningQuality(currentQuality(2, 4), 75), 38);
    // Eight requests, three lost.
    EXPECT_EQ(currentQuality(5, 8), 62);
    // Four timeouts after stored 0, then four answers of 10 ms.
    EXPECT_EQ(averageRtt(4 * 5000, 4), 4000);
    EXPECT_EQ(averageRtt(4000 + 40, 4), 808);
    // Unreachable keeps 0.
    EXPECT_EQ(runningQuality(currentQuality(0, 4), 100), 0);
    // A product beyond 32 bits is still right.
    EXPECT_EQ(runningQuality(100, 2000000000), 2000000000);
}

TEST(PingVerdict, FailureTextsByOutcome)
{
    EXPECT_EQ(failureTextOfError(), QStringLiteral("网络不通！！！地址不可用或没有连接！"));
    EXPECT_EQ(failureText(ReplyStatusType::Error), QStringLiteral("网络不通！！！收到错误的回应信息！"));
    EXPECT_EQ(failureText(ReplyStatusType::TimedOut), QStringLiteral("网络不通！！！没有响应。请求超时！"));
    EXPECT_EQ(failureText(ReplyStatusType::Unreachable), QStringLiteral("网络不通！！！错误的地址！"));
    EXPECT_EQ(failureText(ReplyStatusType::TtlExceeded), QStringLiteral("网络不通！！！TTL响应超时！"));
    EXPECT_EQ(failureText(ReplyStatusType(9)), QStringLiteral("网络不通！！！其它未知错误。"));
}

TEST(PingVerdict, VerdictLineJoinsPrefixSubjectTextQualityAndRoundTrip)
{
    EXPECT_EQ(verdictLine(QStringLiteral("2026-12-07 14:30:05 -> "), QStringLiteral("127.0.0.1:本地地址"),
                          packetLossText(), 75, 1016),
              QStringLiteral("2026-12-07 14:30:05 -> 127.0.0.1:本地地址网络有丢包！！！网络质量：75%,平均RTT：1016ms"));
    EXPECT_EQ(verdictLine(QString(), QStringLiteral("a:b") + failureText(ReplyStatusType::TimedOut), unreachableText(),
                          0, 4000),
              QStringLiteral("a:b网络不通！！！没有响应。请求超时！ 网络质量：0%,平均RTT：4000ms"));
}
