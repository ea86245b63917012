#include "monitor/PingVerdict.h"

#include <gtest/gtest.h>

using namespace PingVerdict;

TEST(PingVerdict, HalvesRoundToTheEvenNeighbour)
{
    const struct {
        double value;
        qint64 rounded;
    } cases[] = {{62.5, 62},     {37.5, 38}, {0.5, 0},   {1.5, 2},   {2.5, 2}, {1016.0, 1016},
                 {1015.6, 1016}, {20.4, 20}, {-2.5, -2}, {-3.5, -4}, {-0.4, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.rounded) << c.value;
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
