#include "monitor/Countdown.h"

#include <gtest/gtest.h>

namespace {

// Ticks until the countdown asks for a cycle; returns that tick's number (0 if it never did).
int ticksToCycle(Countdown& countdown, int interval, int limit = 100000)
{
    for (int tick = 1; tick <= limit; ++tick) {
        if (countdown.tDispTimer(interval, 0).startCycle)
            return tick;
    }
    return 0;
}

} // namespace

TEST(Countdown, CycleStartsAtTheTickTheDayFractionArithmeticGives)
{
    const struct {
        int interval;
        int tick;
    } cases[] = {{0, 1}, {1, 60}, {2, 121}, {5, 301}, {30, 1801}, {90, 5401}, {1438, 86281}};
    for (const auto& c : cases) {
        Countdown countdown;
        EXPECT_EQ(ticksToCycle(countdown, c.interval), c.tick) << "interval " << c.interval;
        // The elapsed time starts again from zero.
        EXPECT_EQ(countdown.elapsedDays(), 0.0);
        EXPECT_EQ(ticksToCycle(countdown, c.interval), c.tick) << "second round, interval " << c.interval;
    }
}

TEST(Countdown, DisplayStepsDownFromTheIntervalToOneMinute)
{
    Countdown countdown;
    std::vector<QString> shown;
    for (int tick = 1; tick <= 1801; ++tick)
        shown.push_back(countdown.tDispTimer(30, 0).display);
    EXPECT_EQ(shown[0], QStringLiteral("00:30"));
    EXPECT_EQ(shown[59], QStringLiteral("00:30"));
    EXPECT_EQ(shown[60], QStringLiteral("00:29"));
    EXPECT_EQ(shown[1740], QStringLiteral("00:01"));
    EXPECT_EQ(shown[1799], QStringLiteral("00:01"));
    EXPECT_EQ(shown[1800], QStringLiteral("00:00"));

    Countdown longOne;
    EXPECT_EQ(longOne.tDispTimer(90, 0).display, QStringLiteral("01:30"));
}

TEST(Countdown, LoweringTheIntervalBelowTheElapsedTimeStartsACycleAtTheNextTick)
{
    Countdown countdown;
    for (int tick = 0; tick < 600; ++tick)
        ASSERT_FALSE(countdown.tDispTimer(30, 0).startCycle);
    EXPECT_TRUE(countdown.tDispTimer(5, 0).startCycle);
}

TEST(Countdown, IntervalsOutsideADayAreClamped)
{
    Countdown big;
    EXPECT_EQ(big.tDispTimer(5000, 0).display, QStringLiteral("23:58"));
    Countdown negative;
    EXPECT_TRUE(negative.tDispTimer(-3, 0).startCycle);
}

TEST(Countdown, DigitsAlternateRedAndBlueEveryTick)
{
    Countdown countdown;
    EXPECT_EQ(countdown.tDispTimer(30, 0).colour, Countdown::DigitColour::Blue);
    EXPECT_EQ(countdown.tDispTimer(30, 0).colour, Countdown::DigitColour::Red);
    EXPECT_EQ(countdown.tDispTimer(30, 0).colour, Countdown::DigitColour::Blue);
}

TEST(Countdown, TrayIconBlinksWhileAnAlarmIsCurrentAndReturnsToNormalOnce)
{
    using Icon = Countdown::TrayIcon;
    Countdown countdown;
    EXPECT_EQ(countdown.tDispTimer(30, 0).trayIcon, std::nullopt);
    EXPECT_EQ(countdown.tDispTimer(30, 1).trayIcon, Icon::Alternate);
    EXPECT_EQ(countdown.tDispTimer(30, 4).trayIcon, Icon::Normal);
    EXPECT_EQ(countdown.tDispTimer(30, 2).trayIcon, Icon::Alternate);
    EXPECT_EQ(countdown.tDispTimer(30, 0).trayIcon, Icon::Normal); // the alarm was cleared
    EXPECT_EQ(countdown.tDispTimer(30, 0).trayIcon, std::nullopt);
    EXPECT_EQ(countdown.tDispTimer(30, -1).trayIcon, std::nullopt);
}

TEST(Countdown, ToggleSwitchesTheTimerAndTheCaptionAndKeepsTheElapsedTime)
{
    Countdown countdown;
    QString shown;
    while (shown != QStringLiteral("00:12"))
        shown = countdown.tDispTimer(30, 0).display;
    const double elapsed = countdown.elapsedDays();

    const Countdown::Toggle pause = Countdown::lMinClick(true);
    EXPECT_FALSE(pause.timerOn);
    EXPECT_EQ(pause.caption, QStringLiteral("下次检测剩余时间：暂停"));
    // No ticks while paused, however long; then resumed.
    const Countdown::Toggle resume = Countdown::lMinClick(false);
    EXPECT_TRUE(resume.timerOn);
    EXPECT_EQ(resume.caption, QStringLiteral("下次检测剩余时间："));
    EXPECT_EQ(countdown.elapsedDays(), elapsed);
    EXPECT_EQ(countdown.tDispTimer(30, 0).display, QStringLiteral("00:12"));
}
