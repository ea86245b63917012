#include "monitor/PingVerdict.h"

#include <cmath>

namespace PingVerdict {

qint64 roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    qint64 result = qint64(floor);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0))
        ++result;
    return result;
}

int currentQuality(int answered, int count)
{
    return int(roundHalfEven(double(answered) / count * 100));
}

int runningQuality(int current, int stored)
{
    const qint64 product = qint64(current) * qint64(stored);
    return int(roundHalfEven(double(product) / 100));
}

int averageRtt(qint64 sum, int count)
{
    return int(roundHalfEven(double(sum) / (qint64(count) + 1)));
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
