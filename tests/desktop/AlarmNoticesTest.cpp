#include "desktop/AlarmNotices.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using Notice = AlarmNotices::Notice;

TEST(AlarmNotices, TextNamesTheFirstThreeAddressesAndCountsAll)
{
    const struct {
        QStringList addresses;
        QString text;
    } cases[] = {
        {{QStringLiteral("10.0.0.1:机房")}, QStringLiteral("10.0.0.1:机房，共1个地址")},
        {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, QStringLiteral("a、b、c，共3个地址")},
        {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")},
         QStringLiteral("a、b、c等，共4个地址")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AlarmNotices::noticeText(c.addresses), c.text);
}

TEST(AlarmNotices, ACycleGivesOneNoticeAtItsEndAndNoneWithoutAlarms)
{
    AlarmNotices notices;
    EXPECT_EQ(notices.cycleEnded(), std::nullopt);
    // Bad and Slow for one address, Break for another: two addresses, told once.
    notices.cycleAlarm(QStringLiteral("10.0.0.1:甲"));
    notices.cycleAlarm(QStringLiteral("10.0.0.1:甲"));
    notices.cycleAlarm(QStringLiteral("10.0.0.2:乙"));
    EXPECT_EQ(notices.alarmingCount(), 2);
    EXPECT_EQ(notices.cycleEnded(),
              (Notice{AlarmNotices::cycleTitle(), QStringLiteral("10.0.0.1:甲、10.0.0.2:乙，共2个地址")}));
    // The next cycle starts from nothing; the alarm stays current until the reset.
    EXPECT_EQ(notices.cycleEnded(), std::nullopt);
    EXPECT_EQ(notices.alarmingCount(), 2);
    notices.alarmCleared();
    EXPECT_EQ(notices.alarmingCount(), 0);
}

TEST(AlarmNotices, ACancelDuringACycleDropsWhatCameBeforeIt)
{
    AlarmNotices notices;
    notices.cycleAlarm(QStringLiteral("a"));
    notices.alarmCleared();
    notices.cycleAlarm(QStringLiteral("b"));
    EXPECT_EQ(notices.cycleEnded()->text, QStringLiteral("b，共1个地址"));
}

TEST(AlarmNotices, ReceivedAlarmsGiveAtMostOneNoticeAMinuteAndTellTheHeldBackOnesWhenItIsUp)
{
    AlarmNotices notices;
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r1"), 1000),
              (Notice{AlarmNotices::receivedTitle(), QStringLiteral("r1，共1个地址")}));
    EXPECT_EQ(notices.heldBackDue(), std::nullopt);
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r2"), 2000), std::nullopt);
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r2"), 3000), std::nullopt);
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r3"), 60'999), std::nullopt);
    EXPECT_EQ(notices.heldBackDue(), 61'000);
    EXPECT_EQ(notices.alarmingCount(), 3);
    // The reset at the start of a cycle does not swallow them.
    notices.alarmCleared();
    EXPECT_EQ(notices.takeHeldBack(60'999), std::nullopt);
    EXPECT_EQ(notices.takeHeldBack(61'000),
              (Notice{AlarmNotices::receivedTitle(), QStringLiteral("r2、r3，共2个地址")}));
    EXPECT_EQ(notices.heldBackDue(), std::nullopt);
    // That notice starts the next minute.
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r4"), 120'999), std::nullopt);
    EXPECT_EQ(notices.receivedAlarm(QStringLiteral("r5"), 300'000)->text, QStringLiteral("r5，共1个地址"));
}
