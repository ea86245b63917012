#include "shared/AddressLine.h"

#include "shared/TextSplit.h"

namespace AddressLine {

QString host(const QString& line)
{
    return TextSplit::leftPart(TextSplit::trimmed(line), u':');
}

QString entryKey(const QString& line)
{
    return TextSplit::leftPart(line, u'=');
}

std::optional<int> storedQuality(const QString& line)
{
    const QString suffix = TextSplit::rightPart(TextSplit::trimmed(line), u'=');
    return TextSplit::toInt(TextSplit::leftPart(suffix, u'%'));
}

int storedRtt(const QString& line)
{
    const QString suffix = TextSplit::rightPart(TextSplit::trimmed(line), u'=');
    return TextSplit::toInt(TextSplit::rightPart(suffix, u',')).value_or(0);
}

QString withSuffix(const QString& line, const QString& suffix)
{
    return entryKey(line) + u'=' + suffix;
}

QString cycleSuffix(int quality, int rtt)
{
    return QStringLiteral("%1%,%2").arg(quality).arg(rtt);
}

Standing standing(const QString& line, int qualityThreshold, int rttThreshold)
{
    const std::optional<int> quality = storedQuality(line);
    if (!quality)
        return Standing::Normal;
    if (*quality == 0)
        return Standing::Down;
    if (*quality <= qualityThreshold || storedRtt(line) >= rttThreshold)
        return Standing::Poor;
    return Standing::Normal;
}

} // namespace AddressLine
