#include "desktop/gui/TrayIcon.h"

#include <QAction>
#include <QImage>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

// Counts the emissions of one signal.
struct Counter {
    int count = 0;
    template <typename Signal>
    Counter(TrayIcon& tray, Signal signal) {
        QObject::connect(&tray, signal, &tray, [this] { ++count; });
    }
};

QAction* action(const TrayIcon& tray, const char* name) {
    return tray.menu()->findChild<QAction*>(QString::fromLatin1(name));
}

// Share of the opaque pixels whose red clearly leads green and blue.
double redShare(const QImage& image) {
    int opaque = 0;
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++opaque;
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                ++red;
        }
    }
    return opaque ? double(red) / opaque : 0.0;
}

} // namespace

TEST(TrayIcon, MenuHasThePingShowAndExitItemsInOrder) {
    TrayIcon tray(false, nullptr);
    EXPECT_EQ(tray.menu()->objectName(), QStringLiteral("PopupMenu1"));
    const QList<QAction*> actions = tray.menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->objectName(), QStringLiteral("Ping1"));
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Ping"));
    EXPECT_EQ(actions[1]->objectName(), QStringLiteral("N2"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("显示主画面"));
    EXPECT_EQ(actions[2]->objectName(), QStringLiteral("N1"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("退出系统"));
}

TEST(TrayIcon, EachMenuItemSignalsItsCommandOnce) {
    for (bool available : {false, true}) {
        TrayIcon tray(available, nullptr);
        Counter ping(tray, &TrayIcon::pingRequested);
        Counter show(tray, &TrayIcon::showRequested);
        Counter exit(tray, &TrayIcon::exitRequested);
        action(tray, "N2")->trigger();
        EXPECT_EQ(ping.count, 0);
        EXPECT_EQ(show.count, 1);
        EXPECT_EQ(exit.count, 0);
        action(tray, "Ping1")->trigger();
        action(tray, "N1")->trigger();
        EXPECT_EQ(ping.count, 1);
        EXPECT_EQ(show.count, 1);
        EXPECT_EQ(exit.count, 1);
    }
}

TEST(TrayIcon, OnlyADoubleClickAsksForTheWindow) {
    TrayIcon tray(true, nullptr);
    ASSERT_TRUE(tray.isAvailable());
    QSystemTrayIcon* entry = tray.systemTrayIcon();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->toolTip(), QStringLiteral("Tarnwicker网络检测员V2.0"));
    EXPECT_EQ(entry->contextMenu(), tray.menu());

    Counter doubleClicked(tray, &TrayIcon::doubleClicked);
    Counter show(tray, &TrayIcon::showRequested);
    emit entry->activated(QSystemTrayIcon::Trigger);
    emit entry->activated(QSystemTrayIcon::Context);
    emit entry->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(doubleClicked.count, 0);
    emit entry->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(doubleClicked.count, 1);
    EXPECT_EQ(show.count, 0);
}

TEST(TrayIcon, AlarmIconAlternatesWithTheNormalOne) {
    TrayIcon tray(true, nullptr);
    const qint64 normalKey = tray.systemTrayIcon()->icon().cacheKey();
    EXPECT_TRUE(tray.showsNormalIcon());
    tray.setAlarmIcon(true);
    EXPECT_FALSE(tray.showsNormalIcon());
    EXPECT_NE(tray.systemTrayIcon()->icon().cacheKey(), normalKey);
    tray.setAlarmIcon(false);
    EXPECT_TRUE(tray.showsNormalIcon());
    EXPECT_EQ(tray.systemTrayIcon()->icon().cacheKey(), normalKey);
    // Shown on a desktop that has no area for it, the entry does no harm either.
    tray.show();
    tray.setAlarmIcon(true);
    tray.hide();
}

TEST(TrayIcon, WithoutANotificationAreaEverythingIsHarmless) {
    TrayIcon tray(false, nullptr);
    EXPECT_FALSE(tray.isAvailable());
    EXPECT_EQ(tray.systemTrayIcon(), nullptr);
    tray.show();
    tray.setAlarmIcon(true);
    EXPECT_FALSE(tray.showsNormalIcon()); // the blinking state is kept all the same
    tray.setAlarmIcon(false);
    EXPECT_TRUE(tray.showsNormalIcon());
    tray.hide();
    // The offscreen desktop has no notification area: the default constructor finds that out.
    EXPECT_EQ(TrayIcon(nullptr).isAvailable(), QSystemTrayIcon::isSystemTrayAvailable());
}

TEST(TrayIcon, TheTwoImagesAre32PixelsAndClearlyDifferent) {
    const QImage normal = TrayIcon::normalImage().toImage();
    const QImage alarm = TrayIcon::alarmImage().toImage();
    EXPECT_EQ(normal.size(), QSize(32, 32));
    EXPECT_EQ(alarm.size(), QSize(32, 32));
    EXPECT_GT(redShare(alarm), 0.4);
    EXPECT_LT(redShare(normal), 0.05);
}
