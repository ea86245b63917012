#include "monitor/Countdown.h"

#include <QtGlobal>

#include <cmath>

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kOneSecond = 1.0 / 86400;
constexpr double kOneMinute = 1.0 / 1440;

} // namespace

Countdown::Tick Countdown::tDispTimer(int intervalMinutes, int currentAlarmCode)
{
    Tick tick;
    m_elapsed += kOneSecond;

    const int v = qBound(0, intervalMinutes, kMaxInterval);
    const int total = v + 1;
    const double target = (double(total / 60) * 3600000.0 + double(total % 60) * 60000.0) / kMsPerDay;

    m_colour = m_colour == DigitColour::Red ? DigitColour::Blue : DigitColour::Red;
    tick.colour = m_colour;

    if (currentAlarmCode > 0) {
        m_shownIcon = m_shownIcon == TrayIcon::Normal ? TrayIcon::Alternate : TrayIcon::Normal;
        tick.trayIcon = m_shownIcon;
    } else if (m_shownIcon != TrayIcon::Normal) {
        m_shownIcon = TrayIcon::Normal;
        tick.trayIcon = m_shownIcon;
    }

    if (target - kOneMinute > m_elapsed) {
        tick.display = hoursMinutes(target - m_elapsed);
    } else {
        m_elapsed = 0;
        tick.display = initialDisplay();
        tick.startCycle = true;
    }
    return tick;
}

Countdown::Toggle Countdown::lMinClick(bool timerOn)
{
    if (timerOn)
        return {false, pausedCaption()};
    return {true, runningCaption()};
}

QString Countdown::hoursMinutes(double days)
{
    const qint64 ms = std::llround(std::fabs(days) * kMsPerDay);
    const qint64 hours = (ms / 3600000) % 24;
    const qint64 minutes = (ms / 60000) % 60;
    return QStringLiteral("%1:%2").arg(hours, 2, 10, QLatin1Char('0')).arg(minutes, 2, 10, QLatin1Char('0'));
}
