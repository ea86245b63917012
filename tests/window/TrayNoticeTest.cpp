// Alarm notices where the desktop has a notification area: the tray entry shows them in its
// balloon and its tip counts the addresses alarming.
#include "DesktopWindowFixture.h"

#include "desktop/gui/TrayIcon.h"

namespace {

// The texts of the tray's balloon on screen; empty while none is shown.
QStringList balloonTexts()
{
    QStringList texts;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || qstrcmp(top->metaObject()->className(), "QBalloonTip") != 0)
            continue;
        for (const QLabel* label : top->findChildren<QLabel*>())
            texts << label->text();
    }
    return texts;
}

} // namespace

class TrayNoticeTest : public DesktopWindowFixture {};

// Every loopback address is slow against a threshold of 0 ms, none against 5000 ms.
TEST_F(TrayNoticeTest, ACycleWithAlarmsShowsOneNoticeAndTheTipCountsUntilAllIsWell)
{
    writeGbk(QStringLiteral("Ip.txt"),
             QStringLiteral("127.0.0.1:本机\r\n127.0.0.2:甲\r\n127.0.0.3:乙\r\n127.0.0.4:丙\r\n"));
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[PingPara]\r\nPingCount=1\r\nRTT=5000\r\n"));
    TfrmTarnwick& w = start();
    ASSERT_TRUE(waitFor([&] { return w.tray().isAvailable(); }, 10000)) << "no notification area";
    QSystemTrayIcon* entry = w.tray().systemTrayIcon();
    QList<std::pair<QString, QString>> shown;
    QObject::connect(&w.tray(), &TrayIcon::messageShown, [&](const QString& title, const QString& text) {
        shown.append({title, text});
    });
    auto cyclesEnded = [&] { return w.pane().info().lines().filter(QStringLiteral("Ping结束。")).size(); };
    // The pointer leaves the button between two clicks on it, as an operator's does.
    auto pingWithThreshold = [&](int rtt) {
        w.ui().seRTT->setValue(rtt);
        const qsizetype before = cyclesEnded();
        ASSERT_TRUE(click(w.ui().mInfor));
        ASSERT_TRUE(click(w.ui().bbPing));
        ASSERT_TRUE(waitFor([&] { return cyclesEnded() > before; }, 20000));
    };

    pingWithThreshold(0);
    const QString text = QStringLiteral("127.0.0.1:本机、127.0.0.2:甲、127.0.0.3:乙等，共4个地址");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], std::pair(QStringLiteral("Ping检测报警"), text));
    EXPECT_TRUE(waitFor([&] { return balloonTexts().contains(text); }, 5000))
        << balloonTexts().join(u'|').toStdString();
    EXPECT_EQ(entry->toolTip(), QStringLiteral("Tarnwicker网络检测员V2.0\n当前报警地址：4个"));

    // All is well: the alarm is reset when the cycle starts, and no notice comes.
    pingWithThreshold(5000);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(entry->toolTip(), QStringLiteral("Tarnwicker网络检测员V2.0"));

    // Switched off by the operator: no notice, but the tip still counts.
    ASSERT_TRUE(click(w.ui().cbNotify));
    EXPECT_EQ(readGbk(QStringLiteral("Para.ini")).contains(QStringLiteral("Notify=0")), true);
    pingWithThreshold(0);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(entry->toolTip(), QStringLiteral("Tarnwicker网络检测员V2.0\n当前报警地址：4个"));
}
