#pragma once

#include <QString>

#include <optional>

// One line of the address list: host ":" name, and once the monitor has written it, the quality
// suffix "=" quality "%," round-trip time. The entry key (text before the first "=") is the
// address's identity everywhere: verdicts, alarms, sounds and reports.
namespace AddressLine {

// Longest line the monitor reads back from the list.
inline constexpr int kMaxLength = 4095;

// The host: the text before the first ":" of the trimmed line (the whole trimmed line without ":").
QString host(const QString& line);

// The entry key: the text before the first "=", trimmed; the whole line, untrimmed, without "=".
QString entryKey(const QString& line);

// Stored quality in per cent; nullopt when absent or not a number.
std::optional<int> storedQuality(const QString& line);

// Stored average round-trip time in ms; 0 when absent or not a number.
int storedRtt(const QString& line);

// The line rewritten as its entry key followed by "=" and the given suffix (e.g. "100%,0").
QString withSuffix(const QString& line, const QString& suffix);

// Suffixes the monitor writes: at start-up, by the reset command, and by a ping cycle.
inline QString startupSuffix()
{
    return QStringLiteral("100%");
}
inline QString resetSuffix()
{
    return QStringLiteral("100%,0");
}
QString cycleSuffix(int quality, int rtt);

// How the last cycle left the address, as far as its suffix tells: no answer at all (quality 0);
// poor (the quality at or under the quality alarm's threshold, or the round-trip time at or over
// the RTT alarm's, as the cycle's Bad and Slow verdicts judge them); else, or without a suffix, normal.
enum class Standing { Normal, Poor, Down };
Standing standing(const QString& line, int qualityThreshold, int rttThreshold);

} // namespace AddressLine
