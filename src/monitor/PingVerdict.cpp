#include "monitor/PingVerdict.h"

namespace PingVerdict {

qint64 roundedQuotient(qint64 numerator, qint64 denominator)
{
    // Floor division first, so that the remainder is never negative.
    qint64 quotient = numerator / denominator;
    qint64 remainder = numerator % denominator;
    if (remainder < 0) {
        remainder += denominator;
        --quotient;
    }
    const qint64 rest = denominator - remainder; // compared instead of doubling the remainder
    if (remainder > rest || (remainder == rest && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

int currentQuality(int answered, int count)
{
    return int(roundedQuotient(qint64(answered) * 100, count));
}

int runningQuality(int current, int stored)
{
    return int(roundedQuotient(qint64(current) * qint64(stored), 100));
}

int averageRtt(qint64 sum, int count)
{
    return int(roundedQuotient(sum, qint64(count) + 1));
}

QString failureTextOfError()
{
    return QStringLiteral("网络不通！！！地址不可用或没有连接！");
}

QString failureText(ReplyStatusType status)
{
    switch (status) {
    case ReplyStatusType::Error:
        return QStringLiteral("网络不通！！！收到错误的回应信息！");
    case ReplyStatusType::TimedOut:
        return QStringLiteral("网络不通！！！没有响应。请求超时！");
    case ReplyStatusType::Unreachable:
        return QStringLiteral("网络不通！！！错误的地址！");
    case ReplyStatusType::TtlExceeded:
        return QStringLiteral("网络不通！！！TTL响应超时！");
    default:
        return QStringLiteral("网络不通！！！其它未知错误。");
    }
}

QString unreachableText()
{
    return QStringLiteral(" 网络质量：");
}
QString restoredText()
{
    return QStringLiteral("网络恢复正常！！！网络质量：");
}
QString normalText()
{
    return QStringLiteral("网络正常！网络质量：");
}
QString packetLossText()
{
    return QStringLiteral("网络有丢包！！！网络质量：");
}
QString slowText()
{
    return QStringLiteral("网络响应时间(RTT)过大！！！网络质量：");
}

QString verdictLine(const QString& prefix, const QString& subject, const QString& verdictText, int quality, int rtt)
{
    return prefix + subject + verdictText + QString::number(quality) + QStringLiteral("%,平均RTT：") +
           QString::number(rtt) + QStringLiteral("ms");
}

} // namespace PingVerdict
