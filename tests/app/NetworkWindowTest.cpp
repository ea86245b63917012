#include "MailSink.h"
#include "PeerSocket.h"
#include "StationLab.h"
#include "WindowFixture.h"
#include "alarm/MessengerSender.h"
#include "alarm/ReceivedAlarms.h"
#include "alarm/UdpSrv.h"
#include "app/NetworkPage.h"
#include "phone/TapiError.h"
#include "sound/AlarmSounds.h"
#include "sound/WaveFile.h"

#include <QDeadlineTimer>
#include <QTest>

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
    // A datagram from the other station, and the wait for its line.
    void receive(const QByteArray& text)
    {
        const qsizetype before = linesContaining(QString::fromLatin1(text));
        ASSERT_TRUE(station.sendTo(text, "127.0.0.1", listenerPort()));
        ASSERT_TRUE(pumpUntil([&] { return linesContaining(QString::fromLatin1(text)) > before; }));
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
    // Every datagram that got through costs one bounded line, and each one is relayed.
    const QStringList lines = paneLines().mid(before);
    qsizetype received = 0;
    for (const QString& line : lines) {
        EXPECT_LE(line.size(), 23 + UdpSrv::kMaxDatagram);
        if (line.contains(QStringLiteral("10.0.0.")) || line.endsWith(u'x'))
            ++received;
    }
    EXPECT_GT(received, kFlood / 2);
    // The burst mails once; the cycle that ran during it mails once more when a received alarm left
    // its code current at the cycle's end, as every cycle does.
    EXPECT_GE(sink.mailCount(), 1);
    EXPECT_LE(sink.mailCount(), 2);
    EXPECT_EQ(linesContaining(QStringLiteral("成功发送邮件！")), sink.mailCount());
    // The ten datagrams of 8,192 "x" are one text from one sender: those within seconds of the one
    // taken are repeats, shown and not relayed.
    const qsizetype relayed = linesContaining(QStringLiteral("已通过UDP方式向127.0.0.1发送报警信息！"));
    EXPECT_LE(relayed, received);
    EXPECT_GE(relayed, received - 9);
}

// Station B is this window, its listener on port 44444 in B's namespace; station A sends the alarms
// of a whole lost uplink at once and is also the receiver 192.0.2.3 of B's list.
TEST_F(NetworkWindowTest, EveryAlarmOfABurstIsRelayedWholeAsItCameAndMessengerRelaysGoTogether)
{
    if (const std::string why = StationLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    StationLab lab;
    std::unique_ptr<PeerSocket> peer;
    lab.runIn(StationLab::Station::A, [&] { peer = std::make_unique<PeerSocket>("0.0.0.0", 44444); });
    writeGbk(QStringLiteral("RecIp.txt"), QString::fromLatin1(StationLab::kA2) + QStringLiteral("\r\n"));
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[PingPara]\r\nA4=1\r\n"));
    TfrmTarnwick& w = start();
    w.network().close();
    lab.runIn(StationLab::Station::B, [&] { w.network().open(44444); });
    w.network().alarms().setRelayMinute(1500);

    const QByteArray tail = CodePage::toGbk(QStringLiteral("的网络报警。请查找原因！谢谢！"));
    const QByteArray longAddress = CodePage::toGbk(QString(1200, u'断'));
    const QByteArray raw("x\xffy\tz\r\nw\0v", 10);
    struct Alarm {
        QByteArray payload, relayed;
    };
    QList<Alarm> alarms;
    for (int i = 0; i < 30; ++i) {
        const QByteArray text = CodePage::toGbk(QStringLiteral("10.0.0.%1:机房断网报警。请查找原因！谢谢！").arg(i));
        alarms.append({text, text + tail});
    }
    alarms.append({longAddress + " = 0%,0", longAddress + tail}); // an "=" past 1,000 characters
    alarms.append({" " + raw + " =rest", raw + tail});            // bytes as they came
    alarms.append({QByteArray(UdpSrv::kMaxDatagram, 'q'),         // cut to fit one datagram
                   QByteArray(UdpSrv::kMaxDatagram - tail.size(), 'q') + tail});
    for (const Alarm& alarm : alarms)
        ASSERT_TRUE(peer->sendTo(alarm.payload, StationLab::kB, 44444));

    QList<QByteArray> relayed;
    ASSERT_TRUE(pumpUntil([&] {
        while (auto d = peer->receive(0))
            relayed << d->payload;
        return relayed.size() >= alarms.size();
    }));
    for (qsizetype i = 0; i < alarms.size(); ++i)
        EXPECT_EQ(relayed.value(i), alarms[i].relayed) << i;
    EXPECT_EQ(linesContaining(QStringLiteral("已通过UDP方式向192.0.2.3发送报警信息！")), alarms.size());
    // Each received text whole on one line of the pane.
    EXPECT_EQ(linesContaining(CodePage::fromGbk(longAddress + " = 0%,0")), 1);
    EXPECT_EQ(linesContaining(QStringLiteral("x\uF8F5y z  w\uFFFDv =rest")), 1); // 0xFF reads as U+F8F5

    // Messenger: the first at once, the other 32 in one message when the minute is over.
    ASSERT_EQ(recording.sent.size(), 1);
    EXPECT_EQ(recording.sent[0],
              QStringLiteral("192.0.2.3|10.0.0.0:机房断网报警。请查找原因！谢谢！的网络报警。请查找原因！谢谢！"));
    ASSERT_TRUE(pumpUntil([&] { return recording.sent.size() == 2; }));
    EXPECT_TRUE(recording.sent[1].startsWith(QStringLiteral("192.0.2.3|另有32条报警：10.0.0.1:机房断网报警。")));
    EXPECT_EQ(linesContaining(QStringLiteral("32条报警未逐条通过信使服务转发，合为一条信使消息发出。")), 1);
    EXPECT_EQ(linesContaining(QStringLiteral("已通过信使服务向192.0.2.3发送报警信息！")), 2);
}

// The operator's cancel ends a burst of received alarms: the end of its window neither raises the
// alarm again nor dials; the next datagram does at once.
TEST_F(NetworkWindowTest, ACancelEndsTheBurstOfReceivedAlarms)
{
    writeGbk(QStringLiteral("RecIp.txt"), QStringLiteral("127.0.0.1\r\n"));
    writeGbk(QStringLiteral("AlarmTelNo.txt"), QStringLiteral("5550001\r\n"));
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[PingPara]\r\nA2=1\r\n"));
    TfrmTarnwick& w = start();
    ASSERT_TRUE(w.ui().cbTel->isChecked());
    w.network().received().setTimes(1000, 1000);
    const QString dial = QStringLiteral("正常拨号:5550001......");
    receive("first");
    EXPECT_EQ(w.alarmCode(), 4);
    EXPECT_EQ(linesContaining(dial), 1);
    receive("second"); // within the window: owed to its end
    EXPECT_EQ(linesContaining(dial), 1);
    QTest::mouseClick(w.ui().bbCanc, Qt::LeftButton);
    EXPECT_EQ(w.alarmCode(), 0);
    EXPECT_TRUE(paneLines().last().endsWith(QStringLiteral("参数初始化成功！")));
    pumpUntil([] { return false; }, 1500);
    EXPECT_EQ(w.alarmCode(), 0);
    EXPECT_EQ(linesContaining(dial), 1);
    receive("third");
    EXPECT_EQ(w.alarmCode(), 4);
    EXPECT_EQ(linesContaining(dial), 2);
}

TEST_F(NetworkWindowTest, AReceivedAlarmsSoundIsListedOnceAndAFailedDialIsAPaneLineNotABox)
{
    writeGbk(QStringLiteral("AlarmTelNo.txt"), QStringLiteral("5550001\r\n"));
    // A sound to play into the call, and no telephone line to place it on.
    writeWaveFile(path(QStringLiteral("alarm.wav")), PcmSound{8000, 1, std::vector<qint16>(800)}, 16);
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[PingPara]\r\nA1=1\r\nA2=1\r\n"));
    start();
    const qsizetype boxes = prompter.messages.size();
    receive("alarm");
    const QString dial = QStringLiteral("正常拨号:5550001......");
    ASSERT_TRUE(pumpUntil([&] { return paneLines().indexOf(dial) >= 0 && paneLines().last() != dial; }));
    EXPECT_EQ(paneLines().value(paneLines().indexOf(dial) + 1), TapiErrors::make(TapiErrors::kNoSelect).text());
    EXPECT_EQ(prompter.messages.size(), boxes) << prompter.messages.join(u'\n').toStdString();
    receive("again");
    EXPECT_EQ(window->alarmSounds().soundList(), QStringList{path(QStringLiteral("alarm.wav"))});
}
