#include "desktop/gui/TrayIcon.h"

#include "XvfbServer.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// Counts the emissions of one signal.
struct Counter {
    int count = 0;
    template <typename Signal>
    Counter(TrayIcon& tray, Signal signal)
    {
        QObject::connect(&tray, signal, &tray, [this] { ++count; });
    }
};

TrayIcon::Probe answer(bool available)
{
    return [available] { return available; };
}

// Lets the event loop run until the condition holds or the time is up.
template <typename Condition>
bool waitFor(Condition condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

QAction* action(const TrayIcon& tray, const char* name)
{
    return tray.menu()->findChild<QAction*>(QString::fromLatin1(name));
}

// Share of the opaque pixels whose red clearly leads green and blue.
double redShare(const QImage& image)
{
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

TEST(TrayIcon, MenuHasThePingShowAndExitItemsInOrder)
{
    TrayIcon tray(answer(false), nullptr);
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

TEST(TrayIcon, EachMenuItemSignalsItsCommandOnce)
{
    for (bool available : {false, true}) {
        TrayIcon tray(answer(available), nullptr);
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

TEST(TrayIcon, OnlyADoubleClickAsksForTheWindow)
{
    TrayIcon tray(answer(true), nullptr);
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

TEST(TrayIcon, AlarmIconAlternatesWithTheNormalOne)
{
    TrayIcon tray(answer(true), nullptr);
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

TEST(TrayIcon, WithoutANotificationAreaEverythingIsHarmless)
{
    TrayIcon tray(answer(false), nullptr);
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

TEST(TrayIcon, ANotificationAreaThatAppearsLaterGetsTheEntry)
{
    int asked = 0;
    TrayIcon tray([&asked] { return ++asked >= 3; }, nullptr, 10, 50);
    Counter appeared(tray, &TrayIcon::becameAvailable);
    EXPECT_FALSE(tray.isAvailable());
    tray.show();
    tray.setAlarmIcon(true); // the countdown blinks before the panel is there
    ASSERT_TRUE(waitFor([&] { return tray.isAvailable(); }, 3000));
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(appeared.count, 1);
    EXPECT_EQ(tray.systemTrayIcon()->contextMenu(), tray.menu());
    EXPECT_EQ(tray.systemTrayIcon()->icon().pixmap(32).toImage(), TrayIcon::alarmImage().toImage());
    waitFor([] { return false; }, 100);
    EXPECT_EQ(asked, 3); // no more asking once it is there
}

TEST(TrayIcon, StopsAskingAfterTheLastRetry)
{
    int asked = 0;
    TrayIcon tray([&asked] { return ++asked < 0; }, nullptr, 5, 3);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(asked, 4); // once at once, then three retries
    EXPECT_FALSE(tray.isAvailable());
}

TEST(TrayIcon, TheTwoImagesAre32PixelsAndClearlyDifferent)
{
    const QImage normal = TrayIcon::normalImage().toImage();
    const QImage alarm = TrayIcon::alarmImage().toImage();
    EXPECT_EQ(normal.size(), QSize(32, 32));
    EXPECT_EQ(alarm.size(), QSize(32, 32));
    EXPECT_GT(redShare(alarm), 0.4);
    EXPECT_LT(redShare(normal), 0.05);
}

// On a desktop that has a notification area the entry really appears there, also when the area
// comes up after the program (the panel started at login after it). Skipped offscreen;
// TrayIconOnXvfb runs it on a display of its own with a real tray.
TEST(TrayIconOnDesktop, EntryAppearsInTheNotificationArea)
{
    if (!qEnvironmentVariableIsSet("TW_REQUIRE_TRAY"))
        GTEST_SKIP() << "runs only on the display that TrayIconOnXvfb brings up";
    TrayIcon tray(&QSystemTrayIcon::isSystemTrayAvailable, nullptr, 100, 150);
    tray.show();
    ASSERT_TRUE(waitFor([&] { return tray.isAvailable(); }, 15000))
        << "no notification area appeared on " << qgetenv("DISPLAY").constData();
    ASSERT_TRUE(waitFor([&] { return !tray.systemTrayIcon()->geometry().isEmpty(); }, 5000))
        << "the tray gave the entry no place";
    EXPECT_TRUE(tray.systemTrayIcon()->isVisible());
    for (int tick = 0; tick < 4; ++tick) {
        tray.setAlarmIcon(tray.showsNormalIcon());
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(tray.showsNormalIcon());
    tray.hide();
    EXPECT_FALSE(tray.systemTrayIcon()->isVisible());
}

namespace {

// A program started by the test and ended by it, by its own handle.
struct Child {
    QProcess process;
    ~Child()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }
};

// Runs TrayIconOnDesktop on an Xvfb display of its own with the trayer panel, started before the
// test program or after it.
void runOnXvfb(bool panelFirst)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
    if (xvfb.isEmpty() || trayer.isEmpty())
        GTEST_SKIP() << "Xvfb or trayer is not installed (Debian packages xvfb, trayer)";
    Child server;
    const QString name = startXvfb(server.process, xvfb, QStringLiteral("800x600x24"));
    ASSERT_FALSE(name.isEmpty()) << "Xvfb did not come up";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), name);
    Child panel;
    panel.process.setProcessEnvironment(env);
    const auto startPanel = [&] {
        panel.process.start(trayer, {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--SetDockType"),
                                     QStringLiteral("false")});
        return panel.process.waitForStarted(5000);
    };
    if (panelFirst) {
        ASSERT_TRUE(startPanel());
    }

    Child test;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("TW_REQUIRE_TRAY"), QStringLiteral("1"));
    test.process.setProcessEnvironment(env);
    test.process.setProcessChannelMode(QProcess::MergedChannels);
    test.process.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--gtest_filter=TrayIconOnDesktop.EntryAppearsInTheNotificationArea")});
    ASSERT_TRUE(test.process.waitForStarted(5000));
    if (!panelFirst) {
        waitFor([] { return false; }, 1500); // the program is up and has found no tray yet
        ASSERT_TRUE(startPanel());
    }
    ASSERT_TRUE(test.process.waitForFinished(30000)) << "the tray test did not end in 30 s";
    const QByteArray output = test.process.readAll();
    EXPECT_EQ(test.process.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

} // namespace

TEST(TrayIconOnXvfb, EntryAppearsInATrayThatIsThere)
{
    runOnXvfb(true);
}

TEST(TrayIconOnXvfb, EntryAppearsInATrayThatComesLater)
{
    runOnXvfb(false);
}
