#include "alarm/NetworkAlarms.h"
#include "PeerSocket.h"
#include "QtPrinters.h"
#include "StationLab.h"
#include "alarm/AlarmBurst.h"
#include "alarm/AlarmDispatch.h"
#include "alarm/GbkText.h"
#include "alarm/MessengerRelays.h"
#include "alarm/MessengerSender.h"
#include "alarm/ReceivedAlarms.h"
#include "alarm/RepeatedAlarms.h"
#include "alarm/UdpSrv.h"
#include "platform/CodePage.h"
#include "platform/SocketError.h"
#include "shared/AlarmKind.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

namespace {

const QString kStamp = QStringLiteral("2026-12-08 10:00:00 -> ");

// A Messenger service that records every message; `before` runs first (to look at the wire).
struct RecordingMessenger : MessengerSender {
    int send(const QString& receiver, const QString& text) override
    {
        if (before)
            before();
        sent << receiver + u'|' + text;
        return status;
    }
    QStringList sent;
    int status = 0;
    std::function<void()> before;
};

// The network alarms of one station, with its pane as a list of lines.
struct Station {
    NetworkAlarms::Settings settings{false, true, true, true, QStringLiteral("请查找原因！谢谢！")};
    QStringList receivers;
    QStringList pane;
    RecordingMessenger messenger;
    UdpSrv udp{[](const QByteArray&, quint32) {}};
    NetworkAlarms alarms{{[this] { return settings; }, [this] { return receivers; },
                          [this](const QString& line) { pane << line; }, [] { return kStamp; }},
                         udp,
                         messenger};
};

// Lets the listener hand datagrams over until the condition holds or the time runs out.
bool pumpUntil(const std::function<bool()>& done, int ms = 3000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(NetworkAlarms, AlarmTextOfEachKindAndSwitch)
{
    const QString key = QStringLiteral("127.0.0.1:本地地址");
    struct Case {
        int kind;
        bool kindWords, extra;
        QString expected;
    } cases[] = {
        {Break, true, true, key + QStringLiteral("断网报警。请查找原因！谢谢！")},
        {Bad, true, false, key + QStringLiteral("网络质量太差报警。")},
        {Slow, true, true, key + QStringLiteral("网络响应太慢报警。请查找原因！谢谢！")},
        {Remote, true, true, key + QStringLiteral("的网络报警。请查找原因！谢谢！")},
        {CallTest, true, true, key + QStringLiteral("报警。请查找原因！谢谢！")},
        {Break, false, true, key + QStringLiteral("报警。请查找原因！谢谢！")},
        {Remote, false, false, key + QStringLiteral("报警。")},
    };
    for (const Case& c : cases) {
        const NetworkAlarms::Settings s{true, true, c.kindWords, c.extra, QStringLiteral("请查找原因！谢谢！")};
        EXPECT_EQ(NetworkAlarms::alarmText(c.kind, CodePage::toGbk(key), s), CodePage::toGbk(c.expected)) << c.kind;
    }
}

TEST(NetworkAlarms, ARelayedAddressKeepsItsBytesAndIsCutAtACharacterToFitOneDatagram)
{
    const NetworkAlarms::Settings s{true, true, true, false, QString()};
    const QByteArray tail = CodePage::toGbk(QStringLiteral("的网络报警。"));
    const qsizetype room = UdpSrv::kMaxDatagram - tail.size();
    const QByteArray raw("a\tb\r\n\0\xff?", 8);
    struct Case {
        QByteArray address, expectedAddress;
    } cases[] = {
        {raw, raw},
        {QByteArray(room, 'x'), QByteArray(room, 'x')},
        {QByteArray(room + 1, 'x'), QByteArray(room, 'x')},
        // Two-byte characters from the first byte: the last whole one that fits.
        {CodePage::toGbk(QString(room, u'断')), CodePage::toGbk(QString(room / 2, u'断'))},
        {"x" + CodePage::toGbk(QString(room, u'断')), "x" + CodePage::toGbk(QString((room - 1) / 2, u'断'))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NetworkAlarms::alarmText(Remote, c.address, s), c.expectedAddress + tail) << c.address.size();
    EXPECT_EQ(GbkText::cut("ab\x81\x40", 3), QByteArray("ab"));
    EXPECT_EQ(GbkText::cut("ab\x81\x40", 4), QByteArray("ab\x81\x40"));
}

TEST(ReceivedAlarms, TheAddressTextIsTheTrimmedBytesBeforeTheFirstEqualsAndTheShownLineIsSafe)
{
    const QByteArray longText = CodePage::toGbk(QString(1500, u'断'));
    struct Case {
        QByteArray payload, address;
        QString shown;
    } cases[] = {
        {CodePage::toGbk(QStringLiteral(" 10.0.0.5:机房断网报警。 ")),
         CodePage::toGbk(QStringLiteral("10.0.0.5:机房断网报警。")), QStringLiteral(" 10.0.0.5:机房断网报警。 ")},
        {CodePage::toGbk(QStringLiteral("10.0.0.5:机房 = 0%,0")), CodePage::toGbk(QStringLiteral("10.0.0.5:机房")),
         QStringLiteral("10.0.0.5:机房 = 0%,0")},
        {QByteArray("\x01"
                    "a\r\nb\0c\x1b",
                    8),
         QByteArray("a\r\nb\0c", 6), QStringLiteral("\uFFFDa  b\uFFFDc\uFFFD")},
        {QByteArray("\x81=x"), QByteArray("\x81"), QStringLiteral("\uFFFD=x")},
        {longText + "=x", longText, QString(1500, u'断') + QStringLiteral("=x")},
        {QByteArray(), QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReceivedAlarms::addressBytes(c.payload), c.address);
        EXPECT_EQ(ReceivedAlarms::oneLine(CodePage::fromGbk(c.payload)), c.shown);
    }
}

TEST(ReceivedAlarms, SenderCheckIgnoresCaseAndOuterBlanksButNotNames)
{
    const quint32 loopback = 0x7f000001;
    EXPECT_TRUE(
        ReceivedAlarms::isListedReceiver(loopback, {QStringLiteral("10.0.0.1"), QStringLiteral(" 127.0.0.1\t")}));
    EXPECT_FALSE(
        ReceivedAlarms::isListedReceiver(loopback, {QStringLiteral("localhost"), QStringLiteral("127.0.0.10")}));
    EXPECT_FALSE(ReceivedAlarms::isListedReceiver(loopback, {}));
}

TEST(MessengerSender, CutsAtTheLimitNeverInsideASurrogatePair)
{
    EXPECT_EQ(MessengerSender::cut(QStringLiteral("abc"), 3), QStringLiteral("abc"));
    EXPECT_EQ(MessengerSender::cut(QStringLiteral("abcd"), 3), QStringLiteral("abc"));
    EXPECT_EQ(MessengerSender::cut(QStringLiteral("ab\U0001F600"), 3), QStringLiteral("ab"));
}

TEST(AlarmBurst, FirstAlarmRunsTheSlowChannelsTheRestOfTheWindowOnceAtItsEnd)
{
    AlarmBurst burst(1000);
    EXPECT_TRUE(burst.admit(0));
    EXPECT_FALSE(burst.admit(10));
    EXPECT_FALSE(burst.admit(20));
    EXPECT_TRUE(burst.closeWindow(1000)); // one run owed for the two after the first
    EXPECT_FALSE(burst.admit(1500));      // inside the window the run opened
    EXPECT_TRUE(burst.closeWindow(2000));
    EXPECT_FALSE(burst.closeWindow(3000)); // a quiet window closes
    EXPECT_TRUE(burst.admit(5000));
    // A cancel: nothing owed, and the next alarm runs them at once again.
    EXPECT_FALSE(burst.admit(5100));
    burst.cancel();
    EXPECT_FALSE(burst.closeWindow(6000));
    EXPECT_TRUE(burst.admit(5200));
}

TEST(RepeatedAlarms, TheSameTextFromTheSameSenderIsTakenOncePerSpan)
{
    RepeatedAlarms repeats(1000);
    struct Step {
        quint32 sender;
        QByteArray payload;
        qint64 at;
        bool repeat;
    } steps[] = {
        {1, "a", 0, false},   {1, "a", 999, true},   {2, "a", 999, false},
        {1, "b", 999, false}, {1, "a", 1000, false}, // the span of the first is over: taken again
        {1, "a", 1500, true}, {2, "a", 1998, true},  {2, "a", 1999, false},
    };
    for (const Step& s : steps)
        EXPECT_EQ(repeats.isRepeat(s.sender, s.payload, s.at), s.repeat) << s.sender << s.payload.data() << s.at;
    repeats.clear();
    EXPECT_FALSE(repeats.isRepeat(1, "a", 2000));
}

// Stations that relay to each other in a ring send one alarm round with a relay's words added at each
// turn: the text that comes back begins with the one taken, and goes no further.
TEST(RepeatedAlarms, AnAlarmComingBackWithARelaysWordsIsARepeat)
{
    RepeatedAlarms repeats(1000);
    const QByteArray alarm = QStringLiteral("10.0.0.5:机房断网报警。").toLocal8Bit();
    const QByteArray relayed = alarm + QStringLiteral("的网络报警。").toLocal8Bit();
    EXPECT_FALSE(repeats.isRepeat(1, alarm, 0));
    EXPECT_TRUE(repeats.isRepeat(1, relayed, 10));
    EXPECT_FALSE(repeats.isRepeat(2, relayed, 10)); // another sender
    EXPECT_FALSE(repeats.isRepeat(1, "ab", 20));
    EXPECT_FALSE(repeats.isRepeat(1, "abc", 20));                        // short texts count only when equal
    EXPECT_FALSE(repeats.isRepeat(1, alarm.left(alarm.size() - 1), 30)); // a shorter one is new
    EXPECT_FALSE(repeats.isRepeat(1, relayed, 1100));                    // the span is over
}

TEST(MessengerRelays, TheFirstOfAMinuteGoesAtOnceTheRestTogetherAtItsEnd)
{
    QStringList sent;
    MessengerRelays relays(
        [&](const QString& texts, int count) { sent << QStringLiteral("%1|%2").arg(count).arg(texts); }, 200);
    EXPECT_TRUE(relays.take(QStringLiteral("a")));
    EXPECT_FALSE(relays.take(QStringLiteral("b")));
    EXPECT_FALSE(relays.take(QString(MessengerRelays::kMaxHeld, u'c')));
    EXPECT_FALSE(relays.take(QStringLiteral("d"))); // counted, no more text kept
    ASSERT_TRUE(pumpUntil([&] { return !sent.isEmpty(); }));
    EXPECT_EQ(sent, QStringList{QStringLiteral("3|b ") + QString(MessengerRelays::kMaxHeld - 2, u'c')});
    // The held ones opened a new minute; a quiet one closes it.
    EXPECT_FALSE(relays.take(QStringLiteral("e")));
    ASSERT_TRUE(pumpUntil([&] { return sent.size() == 2; }));
    EXPECT_EQ(sent.last(), QStringLiteral("1|e"));
    pumpUntil([] { return false; }, 300);
    EXPECT_TRUE(relays.take(QStringLiteral("f")));
    EXPECT_EQ(sent.size(), 2);
}

TEST(UdpSrv, HandsOverEachDatagramUpToTheLimitInOrderWhateverTheHandlerDoes)
{
    QList<QByteArray> handled;
    UdpSrv udp([&](const QByteArray& payload, quint32 sender) {
        EXPECT_EQ(sender, 0x7f000005u);
        handled << payload;
        if (payload == "throw")
            throw std::runtime_error("sound device gone");
    });
    udp.open();
    PeerSocket peer("127.0.0.5");
    const QByteArray full(UdpSrv::kMaxDatagram, 'f');
    const QList<QByteArray> sent = {QByteArray(), full, QByteArray(UdpSrv::kMaxDatagram + 1, 'o'), "throw", "last"};
    for (const QByteArray& payload : sent)
        ASSERT_TRUE(peer.sendTo(payload, "127.0.0.1", udp.boundPort()));
    ASSERT_TRUE(pumpUntil([&] { return handled.size() == 4; }));
    EXPECT_EQ(handled, (QList<QByteArray>{QByteArray(), full, "throw", "last"}));
    QElapsedTimer stopping;
    stopping.start();
    udp.close();
    EXPECT_LT(stopping.elapsed(), UdpSrv::kWaitMs + 500);
    EXPECT_FALSE(udp.isOpen());
}

TEST(NetworkAlarms, BindFailureIsReportedAndEachLaterSendBindsAgain)
{
    auto blocker = std::make_unique<PeerSocket>("0.0.0.0");
    Station st;
    st.udp.setDefaultPort(blocker->port());
    EXPECT_THROW(st.udp.open(), SocketError);
    const QString failed = QStringLiteral("UDP发送失败！") + qt_error_string(EADDRINUSE);
    EXPECT_EQ(st.alarms.SendUdpText(QStringLiteral("127.0.0.1"), blocker->port(), "x"), failed);
    EXPECT_EQ(st.pane, QStringList{kStamp + failed});
    EXPECT_FALSE(st.udp.isOpen());
    const int port = blocker->port();
    blocker.reset();
    EXPECT_EQ(st.alarms.SendUdpText(QStringLiteral("127.0.0.1"), port, "x"), QString());
    EXPECT_TRUE(st.udp.isOpen());
    EXPECT_EQ(st.udp.boundPort(), port);
}

TEST(NetworkAlarms, FailedSendsAreReportedPerReceiverAndTheOthersGoOn)
{
    if (const std::string why = NetNamespaces::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    Station st;
    st.udp.open();
    st.udp.setDefaultPort(st.udp.boundPort());
    st.settings.useMessenger = true;
    st.messenger.status = 1;
    st.receivers = {QString(), QStringLiteral("255.255.255.255"), QStringLiteral("nohost.invalid")};
    // The name is looked up where the question cannot leave the machine; the socket stays this machine's.
    NetNamespaces::LoopbackOnly isolated;
    isolated.runIn([&] { st.alarms.SendNetworkAlarm(Break, "10.0.0.1:a"); });
    const QString messenger = kStamp + QStringLiteral("1信使服务发送失败！请确定是否已打开信使服务！");
    ASSERT_EQ(st.pane.size(), 6) << st.pane.join(u'\n').toStdString();
    EXPECT_EQ(st.pane[0], messenger);
    EXPECT_EQ(st.pane[1], kStamp + QStringLiteral("UDP发送失败！接收主机地址为空"));
    EXPECT_EQ(st.pane[3], kStamp + QStringLiteral("UDP发送失败！") + qt_error_string(EACCES)); // broadcast is off
    EXPECT_TRUE(st.pane[5].startsWith(kStamp + QStringLiteral("UDP发送失败！")));
    EXPECT_EQ(st.messenger.sent.size(), 3);
    // Nothing to send to: nothing is sent and nothing written, also by the test button.
    st.pane.clear();
    st.receivers.clear();
    st.alarms.BitBtn3Click();
    EXPECT_TRUE(st.pane.isEmpty());
}

TEST(NetworkAlarmsBetweenStations, EachReceiverGetsTheGbkTextFromTheAlarmPortMessengerFirst)
{
    if (const std::string why = StationLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    StationLab lab;
    std::unique_ptr<PeerSocket> peer;
    lab.runIn(StationLab::Station::A, [&] { peer = std::make_unique<PeerSocket>("0.0.0.0", 44444); });
    Station st;
    st.udp.setDefaultPort(44444);
    lab.runIn(StationLab::Station::B, [&] { st.udp.open(); });
    st.receivers = {QString::fromLatin1(StationLab::kA), QString::fromLatin1(StationLab::kA2)};
    st.settings.useMessenger = true;
    QStringList wire; // Messenger messages and datagrams in the order they went out
    auto drain = [&] {
        for (int wait = 300; auto d = peer->receive(wait); wait = 0) {
            EXPECT_EQ(d->source, StationLab::kB);
            EXPECT_EQ(d->sourcePort, 44444);
            wire << QStringLiteral("udp %1 ").arg(QString::fromStdString(d->destination)) +
                        QString::fromLatin1(d->payload.toHex());
        }
    };
    st.messenger.before = [&] {
        drain();
        wire << QStringLiteral("messenger");
    };
    const QString key = QStringLiteral("198.51.100.7:机房");
    st.alarms.SendNetworkAlarm(Break, CodePage::toGbk(key));
    drain();
    const QString text = key + QStringLiteral("断网报警。请查找原因！谢谢！");
    const QString hex = QString::fromLatin1(CodePage::toGbk(text).toHex());
    EXPECT_EQ(st.messenger.sent, (QStringList{st.receivers[0] + u'|' + text, st.receivers[1] + u'|' + text}));
    EXPECT_EQ(wire, (QStringList{"messenger", "udp 192.0.2.1 " + hex, "messenger", "udp 192.0.2.3 " + hex}));
    EXPECT_EQ(st.pane, (QStringList{kStamp + QStringLiteral("已通过信使服务向192.0.2.1发送报警信息！"),
                                    kStamp + QStringLiteral("已通过UDP方式向192.0.2.1发送报警信息！"),
                                    kStamp + QStringLiteral("已通过信使服务向192.0.2.3发送报警信息！"),
                                    kStamp + QStringLiteral("已通过UDP方式向192.0.2.3发送报警信息！")}));
}

TEST(ReceivedAlarms, EveryAlarmIsRelayedRepeatsAreToldMailGoesOncePerBurstAndACancelEndsIt)
{
    QStringList journal;
    AlarmDispatch dispatch([] { return AlarmDispatch::Switches{false, false, true, true}; }, nullptr);
    dispatch.sendNetworkAlarm = [&](int code, const QByteArray& address) {
        journal << QStringLiteral("relay %1 %2").arg(code).arg(QString::fromLatin1(address));
    };
    dispatch.sendAlarmMail = [&](const QString&) { journal << QStringLiteral("mail"); };
    QStringList pane;
    ReceivedAlarms received({[] { return QStringList{QStringLiteral("10.0.0.9")}; },
                             [&](const QString& line) { pane << line; }, [] { return kStamp; }},
                            dispatch, AlarmBurst(300), RepeatedAlarms(5000), 200);
    for (const char* text : {"a=1", "b", "c", "b", "d"})
        received.UdpSrvUDPRead(text, 0x0a000001);
    received.UdpSrvUDPRead("listed", 0x0a000009);
    EXPECT_EQ(journal, (QStringList{"relay 4 a", "mail", "relay 4 b", "relay 4 c", "relay 4 d"}));
    EXPECT_EQ(pane, (QStringList{kStamp + "a=1", kStamp + "b", kStamp + "c", kStamp + "b", kStamp + "d"}));
    dispatch.setCurrentCode(NoAlarm); // a cycle began meanwhile: the burst is still owed its mail
    ASSERT_TRUE(pumpUntil([&] { return journal.size() == 6; }, 2000));
    EXPECT_EQ(journal.last(), QStringLiteral("mail"));
    EXPECT_EQ(dispatch.currentCode(), Remote);
    ASSERT_TRUE(pumpUntil([&] { return pane.size() == 6; }, 2000));
    EXPECT_EQ(pane.last(), kStamp + QStringLiteral("1条报警未转发：与同一来源数秒内的报警相同。"));
    // A quiet window after it sends nothing more.
    pumpUntil([] { return false; }, 700);
    EXPECT_EQ(journal.size(), 6);

    // A cancel ends a burst: what came before it is owed nothing, the next alarm mails at once,
    // even when it repeats one from before the cancel.
    journal.clear();
    received.UdpSrvUDPRead("e", 0x0a000001);
    received.UdpSrvUDPRead("f", 0x0a000001);
    dispatch.setCurrentCode(NoAlarm);
    dispatch.alarmCancelled();
    pumpUntil([] { return false; }, 700);
    EXPECT_EQ(journal, (QStringList{"relay 4 e", "mail", "relay 4 f"}));
    EXPECT_EQ(dispatch.currentCode(), NoAlarm);
    received.UdpSrvUDPRead("f", 0x0a000001);
    EXPECT_EQ(journal.mid(3), (QStringList{"relay 4 f", "mail"}));
}
