#include "alarm/AlarmDispatch.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "shared/AlarmKind.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// A dispatch whose channels write what they were asked into one journal.
struct Wired {
    AlarmDispatch::Switches on;
    QStringList journal;
    QString telephoneEntry = QStringLiteral("13800000000");
    AlarmDispatch dispatch{[this] { return on; }, [this](const QString& line) { journal << "info " + line; }};

    Wired(bool withTelephone = true)
    {
        dispatch.playAlarmSound = [this](int code, const QString& a) {
            journal << QStringLiteral("sound %1 %2").arg(code).arg(a);
        };
        dispatch.sendNetworkAlarm = [this](int code, const QByteArray& a) {
            journal << QStringLiteral("net %1 %2").arg(code).arg(CodePage::fromGbk(a));
        };
        dispatch.sendAlarmMail = [this](const QString& subject) { journal << "mail " + subject; };
        if (withTelephone)
            dispatch.setTelephoneChannel({[this] { return telephoneEntry; }, [this] { journal << "call"; }});
    }
};

} // namespace

TEST(AlarmDispatch, NoCurrentAlarmReachesNoChannel)
{
    Wired w;
    w.on = {true, true, true, true};
    for (int code : {0, -1}) {
        w.dispatch.setCurrentCode(code);
        w.dispatch.DispatchAlarm(QStringLiteral("a:b"));
        w.dispatch.DispatchDeferredAlarms();
    }
    EXPECT_TRUE(w.journal.isEmpty()) << w.journal.join('|').toStdString();
}

TEST(AlarmDispatch, ImmediateChannelsRunSoundFirstThenNetworkAsSwitched)
{
    Wired w;
    w.dispatch.setCurrentCode(Bad);
    w.on = {true, true, true, true};
    w.dispatch.DispatchAlarm(QStringLiteral("10.1.1.1:机房"));
    w.on = {false, false, false, true};
    w.dispatch.DispatchAlarm(QStringLiteral("x"));
    w.on = {};
    w.dispatch.DispatchAlarm(QStringLiteral("y"));
    EXPECT_EQ(w.journal, QStringList({QStringLiteral("sound 2 10.1.1.1:机房"), QStringLiteral("net 2 10.1.1.1:机房"),
                                      QStringLiteral("net 2 x")}));
    EXPECT_EQ(w.dispatch.currentCode(), Bad); // the code stays after the dispatch
}

TEST(AlarmDispatch, DeferredChannelsSendTheMailBeforeDialling)
{
    Wired w;
    w.dispatch.setCurrentCode(Break);
    w.on = {false, true, true, false};
    w.dispatch.DispatchDeferredAlarms();
    EXPECT_EQ(w.journal, QStringList({QStringLiteral("mail 接受监控的网络报警信息"),
                                      QStringLiteral("info 正常拨号:13800000000......"), QStringLiteral("call")}));
}

TEST(AlarmDispatch, EmptyTelephoneEntryStillWritesTheDialLine)
{
    Wired w;
    w.telephoneEntry.clear();
    w.dispatch.setCurrentCode(Remote);
    w.on = {false, true, false, false};
    w.dispatch.DispatchDeferredAlarms();
    EXPECT_EQ(w.journal, QStringList({QStringLiteral("info 正常拨号:......"), QStringLiteral("call")}));
}

TEST(AlarmDispatch, ChannelsThatAreNotWiredStaySilentAndWriteNothing)
{
    Wired w(false);
    w.dispatch.playAlarmSound = nullptr;
    w.dispatch.sendAlarmMail = nullptr;
    w.dispatch.setCurrentCode(Slow);
    w.on = {true, true, true, true};
    w.dispatch.DispatchAlarm(QStringLiteral("a"));
    w.dispatch.DispatchDeferredAlarms();
    EXPECT_EQ(w.journal, QStringList({QStringLiteral("net 3 a")}));
}

TEST(AlarmDispatch, AFailedDialIsABoxForOwnAlarmsAndALineForReceivedOnes)
{
    for (const auto failures : {AlarmDispatch::Failures::Box, AlarmDispatch::Failures::Line}) {
        Wired w;
        w.dispatch.showError = [&](const QString& text) { w.journal << "box " + text; };
        w.dispatch.setTelephoneChannel(
            {[&] { return w.telephoneEntry; }, [] { throw AppError(QStringLiteral("无")); }});
        w.dispatch.setCurrentCode(Remote);
        w.on = {false, true, false, false};
        w.dispatch.DispatchDeferredAlarms(failures);
        const QString failure = failures == AlarmDispatch::Failures::Box ? "box 无" : "info 无";
        EXPECT_EQ(w.journal, QStringList({QStringLiteral("info 正常拨号:13800000000......"), failure}));
    }
}
