#pragma once

#include "monitor/ReplyStatus.h"

#include <QString>
#include <QtGlobal>

// The arithmetic and the texts of the verdict the ping cycle gives for one address.
namespace PingVerdict {

// The integer nearest to numerator / denominator, halves to the even neighbour (125 / 2 -> 62,
// 75 / 2 -> 38). Worked out in integers, so that an exact half is always seen as one: in floating
// point 23 / 40 * 100 comes out just below 57.5. The denominator is positive.
qint64 roundedQuotient(qint64 numerator, qint64 denominator);

// Share of answered echo requests in per cent: round(answered * 100 / count); count is positive.
int currentQuality(int answered, int count);

// The stored quality carried on by this cycle's share: round(current * stored / 100).
int runningQuality(int current, int stored);

// Mean of the stored round-trip time and the count round-trip times summed up: round(sum / (count + 1)).
int averageRtt(qint64 sum, int count);

// Failure text of an echo request that raised an error.
QString failureTextOfError();

// Failure text of an echo request that ended with a status other than Echo.
QString failureText(ReplyStatusType status);

// The verdict texts placed after the entry key.
QString unreachableText(); // after the failure text: " 网络质量："
QString restoredText();
QString normalText();
QString packetLossText();
QString slowText();

// prefix + subject + verdict text + quality + "%,平均RTT：" + rtt + "ms". The subject is the entry
// key, or for the unreachable verdict the last failure text, which begins with it.
QString verdictLine(const QString& prefix, const QString& subject, const QString& verdictText, int quality, int rtt);

} // namespace PingVerdict
