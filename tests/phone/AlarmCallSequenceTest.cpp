#include "phone/AlarmCallSequence.h"
#include "CallHost.h"
#include "PhoneFixture.h"
#include "platform/TickClock.h"

#include <QTimer>

#include <utility>

using Callee = SimulatedModem::Callee;

// The alarm call over the real line device and the simulated modem, with its waits shortened.
class AlarmCallSequenceTest : public PhoneFixture, protected CallHost {
protected:
    void SetUp() override
    {
        PhoneFixture::SetUp();
        sounds = {waveFile("first.wav", 0.3), waveFile("second.wav", 0.3)};
        calls = std::make_unique<AlarmCallSequence>(*tel, host(), TickClock::system());
        calls->setWaits({100, 50, 50, 200, 100, 2000});
        tel->refreshDevices();
    }
    void TearDown() override
    {
        calls->EndAlarmCall();
        EXPECT_FALSE(sim.offHook()) << "the line was left off hook";
    }

    QList<QByteArray> dialled() const
    {
        QList<QByteArray> numbers;
        for (const QByteArray& command : sim.commands)
            if (command.startsWith("ATD"))
                numbers.append(command.mid(3));
        return numbers;
    }
    std::unique_ptr<AlarmCallSequence> calls;
};

TEST_F(AlarmCallSequenceTest, TheCalledPartysKeysActWhenTheSoundHasStopped)
{
    struct Case {
        char key;
        int dials;        // numbers dialled once everything has settled
        const char* line; // a line the key leads to
        int pauses;
    };
    const QList<Case> cases{
        {'0', 1, nullptr, 0},
        {'1', 2, "拨打下一用户:5550002......", 0},
        {'3', 1, nullptr, 1},
        {'7', 1, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        pane.clear();
        pauses = 0;
        SetUp();
        sim.commands.clear();
        sim.toneLists.clear();
        sim.audioSessionBytes.clear();
        sim.callees = {Callee{Callee::Answer, 1, -1, {{250, c.key}}}};
        calls->CallNextNumber();
        ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("收到对方按键：") + QChar(c.key)); }));
        pump(900);
        EXPECT_TRUE(logged(QStringLiteral("正在拨号:5550001......")));
        EXPECT_EQ(dialled().size(), c.dials);
        if (c.line) {
            EXPECT_TRUE(logged(QString::fromUtf8(c.line))) << pane.join('\n').toStdString();
        }
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(sim.toneLists.contains("#"), c.key == '3');
        // Stop ends the call; other keys than stop and continue go on playing.
        EXPECT_EQ(sim.offHook(), c.key != '0');
        if (c.key == '3' || c.key == '7') {
            EXPECT_GE(sim.audioSessionBytes.size(), 2) << "the sound did not start again";
        }
        calls->EndAlarmCall();
        pump(100);
    }
}

TEST_F(AlarmCallSequenceTest, ReplayKeyRestartsFromTheFirstSound)
{
    soundIndex = 1;
    sim.callees = {Callee{Callee::Answer, 1, -1, {{200, '2'}}}};
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return sim.audioSessionBytes.size() >= 2; }));
    EXPECT_EQ(soundIndex, 0);
    EXPECT_EQ(calls->LastKey(), QChar());
}

TEST_F(AlarmCallSequenceTest, AHangUpOfTheCalledPartyRedialsTheNextNumberThenTheListIsDone)
{
    sim.callees = {Callee{Callee::Answer, 1, 400}, Callee{Callee::Answer, 1, 400}};
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("断线重拨:5550002......")); }));
    ASSERT_TRUE(waitFor([&] { return dialled().size() == 2; }));
    ASSERT_GE(sim.dialTimes.size(), 2);
    EXPECT_GE(sim.dialTimes[1] - sim.dialTimes[0], 400 + 100 + 200);
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("电话报警通知完毕！")); }));
    EXPECT_EQ(dialled(), (QList<QByteArray>{"5550001", "5550002"}));
}

TEST_F(AlarmCallSequenceTest, MaxTimeEndsTheCallAtAPlayDone)
{
    // The hang-up of the sequence itself is no disconnection: nothing more is dialled.
    maxTime = 0;
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return sim.audioSessionBytes.size() == 1 && !sim.offHook(); }));
    pump(600);
    EXPECT_EQ(sim.audioSessionBytes.size(), 1);
    EXPECT_EQ(dialled().size(), 1);
    EXPECT_FALSE(calls->redialPending());
}

TEST_F(AlarmCallSequenceTest, BadListsAndNoSoundDialNothing)
{
    struct Case {
        const char* name;
        QStringList numbers;
        int position;
        bool noSound;
        const char* line; // the only line besides none, or nothing
    };
    const QList<Case> cases{
        {"empty list", {}, 0, false, nullptr},
        {"blank entry", {"  ", "5550002"}, 0, false, nullptr},
        {"past the end", {"5550001"}, 3, false, "电话报警通知完毕！"},
        {"no alarm sound", {"5550001"}, 0, true, "报警声音未设置，不能进行电话报警！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pane.clear();
        numbers = c.numbers;
        sounds = c.noSound ? QStringList{} : QStringList{waveFile("s.wav", 0.2)};
        calls->setPosition(c.position);
        calls->CallNextNumber();
        EXPECT_TRUE(dialled().isEmpty());
        EXPECT_EQ(calls->position(), c.position);
        pane.removeAll(QStringLiteral("结束通话......"));
        EXPECT_EQ(pane, c.line ? QStringList{QString::fromUtf8(c.line)} : QStringList{});
    }
}

TEST_F(AlarmCallSequenceTest, AFailedDialIsReportedAndStopsTheSequence)
{
    sim.callees = {Callee{Callee::Busy}};
    tel->MaxAttempts = 1;
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("TapiFail")); }));
    EXPECT_TRUE(logged(QStringLiteral("所拨电话号码忙，请稍候再试！"))) << pane.join('\n').toStdString();
    EXPECT_EQ(calls->position(), 1);
}

// The nested waits: a new alarm during the wait after connection, and an end from outside during
// the wait before the next number, leave one call at most and nothing dialled after the end.
TEST_F(AlarmCallSequenceTest, InterleavedStartsAndEndsNeverLeaveTwoCallsOrALateDial)
{
    calls->setWaits({400, 50, 50, 300, 100, 2000});
    sim.callees = {Callee{Callee::Answer, 1, -1, {{500, '1'}}}, Callee{}};
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("正在拨号:5550001......")); }));
    calls->CallNextNumber(); // inside TelTapiConnect's wait
    EXPECT_EQ(dialled(), (QList<QByteArray>{"5550001", "5550002"}));
    ASSERT_TRUE(waitFor([&] { return sim.audioSessionBytes.size() >= 1; }));
    calls->EndAlarmCall();
    pump(800);
    EXPECT_EQ(dialled().size(), 2) << "a wait superseded by the end dialled again";
    EXPECT_FALSE(sim.offHook());
    EXPECT_FALSE(calls->redialPending());
}

// The called party hangs up and the device hangs up (AT+VLS=0); a start that comes inside the device's
// wait for that hang-up (a received alarm, say) dials once the clean-up is over. A dial into the line
// still being closed would go nowhere, and the number would go out only as the device's retry, a
// minute later.
TEST_F(AlarmCallSequenceTest, AStartDuringTheDevicesCleanUpDialsWhenItIsOver)
{
    sim.callees = {Callee{Callee::Answer, 1, 200}, Callee{}};
    sim.commandDelayMs = 150; // the drop's reply keeps the device waiting
    calls->setWaits({1000, 50, 50, 200, 100, 2000});
    bool started = false;
    QObject::connect(&sim, &SimulatedModem::commandReceived, [&](const QByteArray& line) {
        if (line == "AT+VLS=0" && !std::exchange(started, true))
            QTimer::singleShot(0, [&] { calls->CallNextNumber(); });
    });
    calls->CallNextNumber();
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("正在拨号:5550002......")); }, 10000))
        << pane.join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return !sim.audioSessionBytes.isEmpty(); }, 5000));
    pump(300);
    EXPECT_EQ(dialled(), (QList<QByteArray>{"5550001", "5550002"}));
    EXPECT_TRUE(sim.offHook());
    EXPECT_TRUE(started);
    EXPECT_EQ(tel->attempt(), 1) << "the second number went out as a retry, a retry wait late";
}

// A called party that answers the moment the number is dialled (the dial request's reply and the
// answer arrive together) is reported with the number dialled, and its call plays.
TEST_F(AlarmCallSequenceTest, ACallAnsweredAtOnceIsReportedWithItsNumber)
{
    sim.ringMs = 0;
    sim.callees = {Callee{Callee::Answer, 0}};
    calls->CallNextNumber();
    EXPECT_EQ(calls->position(), 1);
    ASSERT_TRUE(waitFor([&] { return !sim.audioSessionBytes.isEmpty(); }));
    EXPECT_EQ(pane.filter(QStringLiteral("正在拨号:")), QStringList{QStringLiteral("正在拨号:5550001......")});
}

TEST_F(AlarmCallSequenceTest, KeyFieldsCompareTheirFirstCharacter)
{
    EXPECT_TRUE(AlarmCallSequence::matches("12", '1'));
    EXPECT_FALSE(AlarmCallSequence::matches("12", '2'));
    EXPECT_FALSE(AlarmCallSequence::matches("", '0'));
    EXPECT_FALSE(AlarmCallSequence::matches("", QChar()));
}
