#include "PingCycleFakes.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/PingCycle.h"
#include "shared/AlarmKind.h"

#include <gtest/gtest.h>

namespace {

const QString kLocal = QStringLiteral("127.0.0.1:本地地址");
const QString kStart = QStringLiteral("T> Ping开始...");
const QString kEnd = QStringLiteral("T> Ping结束。");
const QString kReset = QStringLiteral("参数初始化成功！");

class PingCycleTest : public ::testing::Test {
protected:
    PingCycleTest()
    {
        dispatch.playAlarmSound = [this](int code, const QString& address) {
            alarms << QStringLiteral("%1 %2").arg(code).arg(address);
        };
        dispatch.sendAlarmMail = [this](const QString&) { ++mails; };
    }

    void script(std::initializer_list<Outcome> outcomes) { probe.script.insert(probe.script.end(), outcomes); }

    // The lines a cycle wrote between its start and end lines.
    QStringList verdicts() const
    {
        QStringList lines = host.info;
        lines.removeAll(kStart);
        lines.removeAll(kEnd);
        lines.removeAll(kReset);
        return lines;
    }

    FakeHost host;
    ScriptedProbe probe;
    AlarmDispatch::Switches on{true, false, true, false}; // sound and mail
    QStringList alarms;
    int mails = 0;
    AlarmDispatch dispatch{[this] { return on; }, [this](const QString& line) { host.addInfo(line); }};
    PingCycle cycle{host, probe, dispatch};
};

} // namespace

TEST_F(PingCycleTest, HealthyLineKeepsItsQualityAndWritesNothingWhenNormalIsIgnored)
{
    host.lines = {kLocal + "=100%,0"};
    script({answered(10), answered(20), answered(30), answered(40)});
    cycle.bbPingClick();
    EXPECT_EQ(host.lines[0], kLocal + "=100%,20");
    EXPECT_EQ(host.info, QStringList({kStart, kEnd}));
    EXPECT_EQ(probe.hosts, QStringList({QStringLiteral("127.0.0.1")}));
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(mails, 0);
    EXPECT_TRUE(host.pingEnabled);
    EXPECT_TRUE(host.countdownOn);
    EXPECT_EQ(host.reportPaneHidden, 1);
    EXPECT_EQ(host.eventsProcessed, 8); // before and after each echo request
}

TEST_F(PingCycleTest, NormalVerdictIsWrittenWhenNotIgnored)
{
    host.settings.ignoreNormal = false;
    host.lines = {kLocal + "=100%,0"};
    script({answered(0), answered(0), answered(0), answered(0)});
    cycle.bbPingClick();
    EXPECT_EQ(verdicts(), QStringList({QStringLiteral("T> 127.0.0.1:本地地址网络正常！网络质量：100%,平均RTT：0ms")}));
    EXPECT_EQ(host.lines[0], kLocal + "=100%,0");
}

TEST_F(PingCycleTest, LossAndSlownessRaiseBadThenSlowAndOneMailAfterTheCycle)
{
    host.settings.qualityThreshold = 75;
    host.lines = {kLocal + "=100%,20", QStringLiteral("10.0.0.1:b=100%,0")};
    script({answered(10), answered(20), answered(30), timedOut(5000)});
    script({answered(1), answered(1), answered(1), answered(1)});
    cycle.bbPingClick();
    EXPECT_EQ(host.lines[0], kLocal + "=75%,1016");
    EXPECT_EQ(
        verdicts(),
        QStringList({QStringLiteral("T> 127.0.0.1:本地地址网络有丢包！！！网络质量：75%,平均RTT：1016ms"),
                     QStringLiteral("T> 127.0.0.1:本地地址网络响应时间(RTT)过大！！！网络质量：75%,平均RTT：1016ms")}));
    EXPECT_EQ(alarms, QStringList({QStringLiteral("2 ") + kLocal, QStringLiteral("3 ") + kLocal}));
    EXPECT_EQ(dispatch.currentCode(), Slow);
    EXPECT_EQ(mails, 1);

    // The next cycle starts by clearing the alarm; two losses take 75 to 38.
    script({answered(1), timedOut(10), timedOut(10), answered(1)});
    script({answered(1), answered(1), answered(1), answered(1)});
    host.info.clear();
    cycle.bbPingClick();
    EXPECT_EQ(host.info.first(), kReset);
    EXPECT_EQ(host.soundStopped, 1);
    EXPECT_EQ(host.positionsReset, 1);
    EXPECT_EQ(host.soundListCleared, 1);
    EXPECT_TRUE(host.lines[0].startsWith(kLocal + "=38%,"));
}

TEST_F(PingCycleTest, QualityAndRoundTripThresholdsAreInclusive)
{
    struct Case {
        int stored;
        int threshold;
        bool bad;
    } cases[] = {{100, 50, false}, {67, 50, true}, {68, 50, false}};
    // 3 of 4 answered: K = 75; 67 -> round(50.25) = 50 (= T, Bad), 68 -> 51 (no Bad).
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        alarms.clear();
        host.settings.qualityThreshold = c.threshold;
        host.lines = {QStringLiteral("h:n=%1%,0").arg(c.stored)};
        script({answered(0), answered(0), answered(0), timedOut(0)});
        cycle.bbPingClick();
        EXPECT_EQ(alarms.contains(QStringLiteral("2 h:n")), c.bad) << alarms.join('|').toStdString();
    }

    host.settings.qualityThreshold = 0;
    for (int rtt : {500, 499}) {
        host.info.clear();
        alarms.clear();
        host.lines = {QStringLiteral("h:n=100%,%1").arg(rtt)};
        script({answered(rtt), answered(rtt), answered(rtt), answered(rtt)});
        cycle.bbPingClick();
        EXPECT_EQ(alarms, rtt == 500 ? QStringList({QStringLiteral("3 h:n")}) : QStringList()) << rtt;
        EXPECT_EQ(verdicts().size(), rtt == 500 ? 1 : 0) << rtt;
    }
}

TEST_F(PingCycleTest, SwitchedOffAlarmsStillWriteTheirVerdictLines)
{
    host.settings.qualityAlarm = false;
    host.settings.rttAlarm = false;
    host.lines = {QStringLiteral("h:n=100%,0")};
    script({answered(900), answered(900), timedOut(), timedOut()});
    cycle.bbPingClick();
    EXPECT_EQ(verdicts().size(), 2);
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(dispatch.currentCode(), 0);
    EXPECT_EQ(mails, 0);
}

TEST_F(PingCycleTest, NoLossNeverRaisesBadWhateverTheStoredQuality)
{
    host.settings.qualityThreshold = 100;
    host.lines = {QStringLiteral("h:n=10%,0")};
    script({answered(0), answered(0), answered(0), answered(0)});
    cycle.bbPingClick();
    EXPECT_TRUE(alarms.isEmpty());
    EXPECT_EQ(host.lines[0], QStringLiteral("h:n=10%,0"));
}

TEST_F(PingCycleTest, UnreachableReportsTheLastFailureAndRaisesBreak)
{
    host.lines = {kLocal + "=100%,0"};
    script({raised(), timedOut(5000), withStatus(ReplyStatusType::Unreachable, 7),
            withStatus(ReplyStatusType::TtlExceeded, 3)});
    cycle.bbPingClick();
    // The raised request adds nothing to the sum but counts in the divisor: (0+5000+7+3)/5 = 1002.
    EXPECT_EQ(
        verdicts(),
        QStringList({QStringLiteral("T> 127.0.0.1:本地地址网络不通！！！TTL响应超时！ 网络质量：0%,平均RTT：1002ms")}));
    EXPECT_EQ(host.lines[0], kLocal + "=0%,1002");
    EXPECT_EQ(alarms, QStringList({QStringLiteral("1 ") + kLocal}));
    EXPECT_EQ(mails, 1);
}

TEST_F(PingCycleTest, EveryFailureHasItsText)
{
    const struct {
        Outcome outcome;
        const char* text;
    } cases[] = {
        {raised(), "网络不通！！！地址不可用或没有连接！"},
        {withStatus(ReplyStatusType::Error, 0), "网络不通！！！收到错误的回应信息！"},
        {timedOut(0), "网络不通！！！没有响应。请求超时！"},
        {withStatus(ReplyStatusType::Unreachable, 0), "网络不通！！！错误的地址！"},
        {withStatus(ReplyStatusType::TtlExceeded, 0), "网络不通！！！TTL响应超时！"},
        {withStatus(ReplyStatusType(7), 0), "网络不通！！！其它未知错误。"},
    };
    host.settings.pingCount = 1;
    for (const auto& c : cases) {
        host.info.clear();
        host.lines = {QStringLiteral("h:n")};
        script({c.outcome});
        cycle.bbPingClick();
        EXPECT_EQ(verdicts().value(0),
                  QStringLiteral("T> h:n") + QString::fromUtf8(c.text) + QStringLiteral(" 网络质量：0%,平均RTT：0ms"));
    }
}

TEST_F(PingCycleTest, UnreachableThenLossyThenRestored)
{
    host.settings.qualityThreshold = 50;
    host.lines = {QStringLiteral("h:n=100%,0")};
    script({timedOut(), timedOut(), timedOut(), timedOut()});
    cycle.bbPingClick();
    EXPECT_EQ(host.lines[0], QStringLiteral("h:n=0%,4000"));

    // Some answers: still quality 0, packet loss and Bad.
    host.info.clear();
    alarms.clear();
    script({answered(10), answered(10), answered(10), timedOut()});
    cycle.bbPingClick();
    EXPECT_TRUE(verdicts().value(0).startsWith(QStringLiteral("T> h:n网络有丢包！！！网络质量：0%")));
    EXPECT_TRUE(alarms.contains(QStringLiteral("2 h:n")));
    const int stored = host.lines[0].section(',', 1).toInt();

    // All answered: restored at 100, and the old average still makes it slow.
    host.info.clear();
    alarms.clear();
    script({answered(10), answered(10), answered(10), answered(10)});
    cycle.bbPingClick();
    EXPECT_EQ(stored, 1806); // (4000 + 30 + 5000) / 5
    EXPECT_EQ(verdicts(), QStringList({QStringLiteral("T> h:n网络恢复正常！！！网络质量：100%,平均RTT：369ms")}));
    EXPECT_EQ(host.lines[0], QStringLiteral("h:n=100%,369"));
    EXPECT_TRUE(alarms.isEmpty());
}

TEST_F(PingCycleTest, FourTimeoutsThenFourQuickAnswersRestoreWithTheOldAverage)
{
    host.lines = {QStringLiteral("h:n=100%,0")};
    script({timedOut(), timedOut(), timedOut(), timedOut()});
    cycle.bbPingClick();
    EXPECT_EQ(host.lines[0], QStringLiteral("h:n=0%,4000"));
    host.info.clear();
    alarms.clear();
    script({answered(10), answered(10), answered(10), answered(10)});
    cycle.bbPingClick();
    EXPECT_EQ(verdicts(),
              QStringList({QStringLiteral("T> h:n网络恢复正常！！！网络质量：100%,平均RTT：808ms"),
                           QStringLiteral("T> h:n网络响应时间(RTT)过大！！！网络质量：100%,平均RTT：808ms")}));
    EXPECT_EQ(alarms, QStringList({QStringLiteral("3 h:n")}));
}

TEST_F(PingCycleTest, NewLineWithoutSuffixAnsweredPerfectlyIsRestored)
{
    host.lines = {QStringLiteral("192.0.2.1:新线路")};
    script({answered(2), answered(2), answered(2), answered(2)});
    cycle.bbPingClick();
    EXPECT_EQ(verdicts(),
              QStringList({QStringLiteral("T> 192.0.2.1:新线路网络恢复正常！！！网络质量：100%,平均RTT：2ms")}));
    EXPECT_EQ(host.lines[0], QStringLiteral("192.0.2.1:新线路=100%,2"));
}

TEST_F(PingCycleTest, EightRequestsWithThreeLossesGiveQuality62)
{
    host.settings.pingCount = 8;
    host.settings.qualityThreshold = 0;
    host.lines = {QStringLiteral("h:n=100%,0")};
    script({answered(0), answered(0), answered(0), answered(0), answered(0), timedOut(0), timedOut(0), raised()});
    cycle.bbPingClick();
    EXPECT_EQ(host.lines[0], QStringLiteral("h:n=62%,0"));
}

TEST_F(PingCycleTest, CountBelowOneCountsAsOne)
{
    for (int count : {0, -5}) {
        host.settings.pingCount = count;
        host.lines = {QStringLiteral("h:n=100%,0")};
        probe.pings = 0;
        script({answered(6)});
        cycle.bbPingClick();
        EXPECT_EQ(probe.pings, 1);
        EXPECT_EQ(host.lines[0], QStringLiteral("h:n=100%,3"));
    }
}

TEST_F(PingCycleTest, EmptyListStillStartsEndsAndRunsTheDeferredChannels)
{
    dispatch.setCurrentCode(Remote); // an alarm received before: cleared at the start
    cycle.bbPingClick();
    EXPECT_EQ(host.info, QStringList({kReset, kStart, kEnd}));
    EXPECT_EQ(mails, 0);
    EXPECT_TRUE(host.countdownOn);
}

TEST_F(PingCycleTest, AlarmReceivedDuringTheCycleSendsTheMailAtItsEnd)
{
    host.lines = {QStringLiteral("h:n=100%,0")};
    host.settings.pingCount = 1;
    script({answered(0)});
    host.onProcessEvents = [&] { dispatch.setCurrentCode(Remote); };
    cycle.bbPingClick();
    EXPECT_EQ(mails, 1);
}

TEST_F(PingCycleTest, LinesAreReadAnewSoEditsDuringTheCycleAreSeen)
{
    host.settings.pingCount = 2;
    host.lines = {QStringLiteral(" 10.1.1.1 : 机房 =80%,20"), QStringLiteral("a:b=100%,0"),
                  QStringLiteral("c:d=100%,0")};
    script({answered(0), answered(0), answered(0), answered(0), answered(0), answered(0)});
    int calls = 0;
    host.onProcessEvents = [&] {
        if (++calls == 2) { // during the first address: the operator renames it and deletes the last line
            host.lines[0] = QStringLiteral("10.1.1.1:新机房=80%,20");
            host.lines.removeLast();
        }
    };
    cycle.bbPingClick();
    EXPECT_EQ(probe.hosts.value(0), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(host.lines[0], QStringLiteral("10.1.1.1:新机房=80%,7"));
    // The count was taken at the start: the deleted line is pinged as an empty one, to no effect.
    EXPECT_EQ(probe.hosts.value(2), QString());
    EXPECT_EQ(host.lines.size(), 2);
}

TEST_F(PingCycleTest, CancelDuringACycleStopsItAfterTheCurrentAddress)
{
    host.lines = {QStringLiteral("a:1=100%,0"), QStringLiteral("b:2=100%,0")};
    host.settings.pingCount = 2;
    script({answered(0), answered(0)});
    int calls = 0;
    host.onProcessEvents = [&] {
        if (++calls == 1)
            cycle.bbCancClick();
    };
    cycle.bbPingClick();
    EXPECT_EQ(probe.pings, 2); // the first address was finished
    EXPECT_EQ(probe.hosts, QStringList({QStringLiteral("a")}));
    EXPECT_EQ(host.info.last(), kEnd);
    EXPECT_TRUE(host.countdownOn);
    EXPECT_EQ(host.windowClosed, 0);
}

TEST_F(PingCycleTest, TheEndOfTheProgramAbandonsTheAddressWithoutAVerdict)
{
    host.lines = {QStringLiteral("a:1=100%,0"), QStringLiteral("b:2=100%,0")};
    host.settings.pingCount = 4;
    script({raised()}); // the probe gave up its wait when the end came
    int calls = 0;
    host.onProcessEvents = [&] {
        if (++calls == 2) // right after the first request
            host.ending = true;
    };
    cycle.bbPingClick();
    EXPECT_EQ(probe.pings, 1);
    EXPECT_EQ(verdicts(), QStringList()); // no false "unreachable" for an abandoned request
    EXPECT_EQ(alarms, QStringList());
    EXPECT_EQ(host.lines[0], QStringLiteral("a:1=100%,0"));
    EXPECT_EQ(host.info.last(), kEnd);
}

TEST_F(PingCycleTest, CancelAfterAnAlarmClearsItAndASecondCancelStops)
{
    host.lines = {QStringLiteral("a:1=100%,0"), QStringLiteral("b:2=100%,0"), QStringLiteral("c:3=100%,0")};
    host.settings.pingCount = 1;
    script({timedOut(), answered(0)});
    int calls = 0;
    host.onProcessEvents = [&] {
        ++calls;
        if (calls == 3 || calls == 4) // before and after b's request
            cycle.bbCancClick();
    };
    cycle.bbPingClick();
    EXPECT_EQ(alarms, QStringList({QStringLiteral("1 a:1")}));
    EXPECT_TRUE(host.info.contains(kReset));
    EXPECT_EQ(probe.hosts, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(dispatch.currentCode(), 0);
    EXPECT_EQ(mails, 0); // the alarm was cleared before the end
}

TEST_F(PingCycleTest, CancelWhileIdleHidesTheWindowOrClearsTheAlarm)
{
    cycle.bbCancClick();
    EXPECT_EQ(host.windowClosed, 1);

    on = {false, true, false, false};
    dispatch.setCurrentCode(Break);
    cycle.bbCancClick();
    EXPECT_EQ(host.windowClosed, 1);
    EXPECT_EQ(dispatch.currentCode(), 0);
    EXPECT_EQ(host.callsEnded, 1);
    EXPECT_EQ(host.info, QStringList({kReset}));

    // An alarm with every switch off is not the Cancel button's to clear.
    on = {};
    dispatch.setCurrentCode(Break);
    cycle.bbCancClick();
    EXPECT_EQ(host.windowClosed, 2);
    EXPECT_EQ(dispatch.currentCode(), Break);
}

TEST_F(PingCycleTest, StartRequestsDuringACycleAreIgnored)
{
    host.lines = {QStringLiteral("a:1=100%,0")};
    host.settings.pingCount = 2;
    script({answered(0), answered(0)});
    host.onProcessEvents = [&] {
        host.pingEnabled = true; // Cancel pressed, then Ping (or the countdown, or the tray)
        cycle.bbPingClick();
    };
    cycle.bbPingClick();
    EXPECT_EQ(host.info.count(kStart), 1);
    EXPECT_EQ(probe.pings, 2);
    EXPECT_FALSE(cycle.isRunning());
}

TEST_F(PingCycleTest, CycleStartedWhilePausedSwitchesTheCountdownOn)
{
    host.countdownOn = false;
    cycle.bbPingClick();
    EXPECT_TRUE(host.countdownOn);
}

TEST_F(PingCycleTest, ChannelThatThrowsLeavesThePingButtonUsable)
{
    host.lines = {QStringLiteral("a:1=100%,0")};
    host.settings.pingCount = 1;
    script({timedOut()});
    dispatch.playAlarmSound = [](int, const QString&) { throw AppError(QStringLiteral("MCI device busy")); };
    EXPECT_THROW(cycle.bbPingClick(), AppError);
    EXPECT_TRUE(host.pingEnabled);
    EXPECT_FALSE(cycle.isRunning());
    script({answered(0)});
    dispatch.playAlarmSound = nullptr;
    cycle.bbPingClick();
    EXPECT_EQ(host.info.last(), kEnd);
}
