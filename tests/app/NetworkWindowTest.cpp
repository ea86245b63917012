#include "MailSink.h"
#include "PeerSocket.h"
#include "WindowFixture.h"
#include "alarm/AlarmBurst.h"
#include "alarm/MessengerSender.h"
#include "alarm/ReceivedAlarms.h"
#include "app/NetworkPage.h"

#include <QDeadlineTimer>

#include <atomic>
#include <thread>

namespace {

struct RecordingMessenger : MessengerSender {
    int send(const QString& receiver, const QString& text) override
    {
        sent << receiver + u'|' + text;
        return 0;
    }
    QStringList sent;
};

class NetworkWindowTest : public WindowFixture {
protected:
    NetworkWindowTest() { messenger = &recording; }

    // A port that nothing is bound to just now.
    static int freePort() { return PeerSocket().port(); }

    int listenerPort() { return window->network().listener().boundPort(); }

    bool pumpUntil(const std::function<bool()>& done, int ms = 5000)
    {
        for (QDeadlineTimer deadline(ms); !done() && !deadline.hasExpired();)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
    qsizetype linesContaining(const QString& text)
    {
        const QStringList lines = paneLines();
        return std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(text); });
    }

    RecordingMessenger recording;
    PeerSocket station{"127.0.0.5"}; // another station, not in the receiver list
};

} // namespace

TEST_F(NetworkWindowTest, AReceivedAlarmLeavesAShownReportInFrontAndTheTestButtonIgnoresTheSwitches)
{
    alarmPort = freePort();
    writeGbk(QStringLiteral("RecIp.txt"), QStringLiteral("127.0.0.1\r\n"));
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[NetPara]\r\nUseMess=0\r\nUseSelf=0\r\n"));
    TfrmTarnwick& w = start();
    w.pane().setReportShown(true);
    const QString text = QStringLiteral("10.0.0.5:机房 = 0%,0");
    ASSERT_TRUE(station.sendTo(CodePage::toGbk(text), "127.0.0.1", listenerPort()));
    ASSERT_TRUE(pumpUntil([&] { return linesContaining(text) == 1; }));
    EXPECT_EQ(paneLines().last().size(), 23 + text.size());
    EXPECT_TRUE(w.pane().reportShown());
    EXPECT_EQ(w.alarmCode(), 4);

    w.ui().BitBtn3->click();
    EXPECT_EQ(recording.sent, QStringList{QStringLiteral("127.0.0.1|Tarnwicker报警测试信息!")});
    EXPECT_EQ(linesContaining(QStringLiteral("信使服务测试发送成功！")), 1);
    EXPECT_EQ(linesContaining(QStringLiteral("UDP测试发送成功！")), 1);
    // The test datagram came back from 127.0.0.1, a listed receiver: dropped. A later one is not.
    ASSERT_TRUE(station.sendTo("after", "127.0.0.1", listenerPort()));
    ASSERT_TRUE(pumpUntil([&] { return linesContaining(QStringLiteral("after")) == 1; }));
    EXPECT_EQ(linesContaining(QStringLiteral("Tarnwicker报警测试信息!")), 0);
}

TEST_F(NetworkWindowTest, APortTakenAtStartUpIsShownAndTheNextSendBindsIt)
{
    auto blocker = std::make_unique<PeerSocket>();
    alarmPort = blocker->port();
    writeGbk(QStringLiteral("RecIp.txt"), QStringLiteral("127.0.0.1\r\n"));
    TfrmTarnwick& w = start();
    EXPECT_TRUE(prompter.messages.contains(QStringLiteral("错误|") + qt_error_string(EADDRINUSE)));
    EXPECT_TRUE(paneLines().last().endsWith(QStringLiteral("Ping结束。"))); // start-up went on
    blocker.reset();
    w.BitBtn3Click();
    EXPECT_EQ(linesContaining(QStringLiteral("UDP测试发送成功！")), 1);
    EXPECT_EQ(listenerPort(), *alarmPort);
}

TEST_F(NetworkWindowTest, AFloodLeavesTheMonitorPingingOnTimeAndSendsOneMail)
{
    if (!MailSink::available())
        GTEST_SKIP() << "/usr/bin/python3 has no aiosmtpd (Debian package python3-aiosmtpd)";
    MailSink sink;
    ASSERT_NE(sink.port(), 0);
    alarmPort = freePort();
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本地\r\n"));
    writeGbk(QStringLiteral("RecIp.txt"), QStringLiteral("127.0.0.1\r\n"));
    writeFile(QStringLiteral("Para.ini"), "[PingPara]\r\nA3=1\r\nA4=1\r\n[NetPara]\r\nUseMess=0\r\n" + sink.settings());
    TfrmTarnwick& w = start();
    ASSERT_TRUE(w.ui().cbEmail->isChecked());
    const qsizetype before = paneLines().size();

    QElapsedTimer clock;
    clock.start();
    QList<qint64> ticks;
    QObject::connect(&w.tDisp(), &QTimer::timeout, &w, [&] { ticks << clock.elapsed(); });
    bool cycleRan = false;
    QTimer::singleShot(1000, &w, [&] {
        w.bbPingClick();
        cycleRan = true;
    });
    constexpr int kFlood = 10000;
    std::atomic<bool> sent{false};
    std::thread flood([&] {
        PeerSocket sender("127.0.0.5");
        for (int i = 0; i < kFlood; ++i) {
            const QByteArray payload = i % 1000 == 999 ? QByteArray(8192, 'x') : "10.0.0." + QByteArray::number(i);
            sender.sendTo(payload, "127.0.0.1", *alarmPort);
            if (i % 20 == 19)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sent = true;
    });
    pumpUntil([&] { return sent.load() && cycleRan; }, 30000);
    flood.join();
    const qint64 floodEnd = clock.elapsed();
    ASSERT_TRUE(station.sendTo("after", "127.0.0.1", *alarmPort));
    ASSERT_TRUE(pumpUntil([&] { return linesContaining(QStringLiteral("after")) == 1; }));

    // The countdown ticked on through the flood and the cycle ran.
    ASSERT_FALSE(ticks.isEmpty());
    qint64 longestGap = ticks.first();
    for (qsizetype i = 1; i < ticks.size(); ++i)
        longestGap = qMax(longestGap, ticks[i] - ticks[i - 1]);
    EXPECT_LT(longestGap, 2500) << "ticks " << ticks.size() << " in " << floodEnd << " ms";
    EXPECT_TRUE(cycleRan);
    // Every datagram that got through costs one bounded line; the relays are no more than the burst
    // allows.
    const QStringList lines = paneLines().mid(before);
    qsizetype received = 0;
    for (const QString& line : lines) {
        EXPECT_LE(line.size(), 23 + ReceivedAlarms::kMaxShown);
        if (line.contains(QStringLiteral("10.0.0.")) || line.endsWith(u'x'))
            ++received;
    }
    EXPECT_GT(received, kFlood / 2);
    // The burst mails once; the cycle that ran during it mails once more when a received alarm left
    // its code current at the cycle's end, as every cycle does.
    EXPECT_GE(sink.mailCount(), 1);
    EXPECT_LE(sink.mailCount(), 2);
    EXPECT_EQ(linesContaining(QStringLiteral("成功发送邮件！")), sink.mailCount());
    const qsizetype relayed = linesContaining(QStringLiteral("已通过UDP方式向127.0.0.1发送报警信息！"));
    EXPECT_GE(relayed, 1);
    EXPECT_LE(relayed, AlarmBurst::kImmediateLimit);
}
