#include "alarm/AlarmTally.h"
#include "alarm/AlarmDispatch.h"
#include "alarm/MessengerSender.h"
#include "alarm/NetworkAlarms.h"
#include "alarm/ReceivedAlarms.h"
#include "alarm/UdpSrv.h"
#include "platform/AppError.h"
#include "shared/AlarmKind.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Keeps account of alarms as one journal of words.
struct JournalTally : AlarmTally {
    void alarmRaised(int kind) override { journal << QStringLiteral("raised %1").arg(kind); }
    void alarmSent(AlarmChannel channel, bool ok) override
    {
        journal << QStringLiteral("sent %1 %2").arg(int(channel)).arg(ok ? "ok" : "failed");
    }
    void datagramReceived(bool accepted) override { journal << (accepted ? "accepted" : "dropped"); }
    QStringList journal;
};

struct FailingMessenger : MessengerSender {
    int send(const QString&, const QString&) override { return 1; }
};

QString sent(AlarmChannel channel, const char* result)
{
    return QStringLiteral("sent %1 %2").arg(int(channel)).arg(QLatin1String(result));
}

} // namespace

TEST(AlarmTally, EveryAlarmRaisedIsCountedAndEachDialWithItsResult)
{
    JournalTally tally;
    AlarmDispatch::Switches on{false, true, false, false};
    AlarmDispatch dispatch([&] { return on; }, nullptr);
    dispatch.setTally(&tally);
    bool dialFails = false;
    dispatch.setTelephoneChannel({[] { return QStringLiteral("110"); },
                                  [&] {
                                      if (dialFails)
                                          throw AppError(QStringLiteral("线路忙"));
                                  }});
    dispatch.setCurrentCode(NoAlarm);
    dispatch.DispatchAlarm(QStringLiteral("a"));
    dispatch.setCurrentCode(Break);
    dispatch.DispatchAlarm(QStringLiteral("a")); // raised whatever the switches
    dispatch.DispatchDeferredAlarms(AlarmDispatch::Failures::Line);
    dialFails = true;
    dispatch.setCurrentCode(Slow);
    dispatch.DispatchAlarm(QStringLiteral("b"));
    dispatch.DispatchDeferredAlarms(AlarmDispatch::Failures::Line);
    EXPECT_EQ(tally.journal, (QStringList{"raised 1", sent(AlarmChannel::Telephone, "ok"), "raised 3",
                                          sent(AlarmChannel::Telephone, "failed")}));
}

TEST(AlarmTally, NetworkSendsOfAlarmsButNotOfTheTestTextAndEachReceivedDatagram)
{
    JournalTally tally;
    AlarmDispatch dispatch([] { return AlarmDispatch::Switches{}; }, nullptr);
    dispatch.setTally(&tally);
    UdpSrv udp{[](const QByteArray&, quint32) {}};
    udp.open();
    udp.setDefaultPort(udp.boundPort());
    FailingMessenger messenger;
    QStringList receivers{QStringLiteral("127.0.0.1"), QString()};
    NetworkAlarms alarms({[] { return NetworkAlarms::Settings{}; }, [&] { return receivers; }, [](const QString&) {},
                          [] { return QString(); },
                          [&](AlarmChannel channel, bool ok) { dispatch.tallySent(channel, ok); }},
                         udp, messenger);
    alarms.SendNetworkAlarm(Bad, "192.0.2.1:甲");
    alarms.BitBtn3Click();
    EXPECT_EQ(tally.journal, (QStringList{sent(AlarmChannel::Messenger, "failed"), sent(AlarmChannel::Udp, "ok"),
                                          sent(AlarmChannel::Messenger, "failed"), sent(AlarmChannel::Udp, "failed")}));

    tally.journal.clear();
    ReceivedAlarms received(
        {[] { return QStringList{QStringLiteral("10.0.0.9")}; }, [](const QString&) {}, [] { return QString(); }},
        dispatch);
    received.UdpSrvUDPRead("a=1", 0x0a000001);
    received.UdpSrvUDPRead("a=1", 0x0a000001); // a repeat
    received.UdpSrvUDPRead("b", 0x0a000009);   // from a receiver of the list
    EXPECT_EQ(tally.journal, (QStringList{"accepted", "raised 4", "dropped", "dropped"}));
}
