#include "CallHost.h"
#include "SimulatedModem.h"
#include "SipParty.h"
#include "phone/AlarmCallSequence.h"
#include "phone/LineDevice.h"
#include "phone/TelephoneLines.h"
#include "phone/VoiceModem.h"
#include "platform/TickClock.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace SipParty;

namespace {
enum class Provider { Modem, Sip };

// The far end of the alarm call on either line: the simulated modem's scripted called party, or a
// second baresip that answers, records and presses keys.
struct FarEnd {
    virtual ~FarEnd() = default;
    virtual QString lineName() const = 0;
    virtual QStringList numbers() const = 0;
    virtual void pressAfterAnswer(int ms, char key) = 0;
    virtual int answered() const = 0;
    virtual int offered() const = 0; // calls that reached the far end, answered or not
    virtual bool heardHash() const = 0;
    virtual bool heardTheSound() const = 0;
};

struct ModemEnd : FarEnd {
    ModemEnd(SimulatedModem& modem, bool busy)
        : sim(modem)
        , before(int(modem.dialTimes.size()))
    {
        sim.toneLists.clear();
        sim.audioSessionBytes.clear();
        // A modem that gives the BUSY result without reporting the tone first.
        sim.busyTone = !busy;
        if (busy)
            sim.callees = {SimulatedModem::Callee{SimulatedModem::Callee::Busy}};
    }
    SimulatedModem& sim;
    int before;
    QString lineName() const override { return {}; } // the first line: the modem
    QStringList numbers() const override { return {"5550001", "5550002"}; }
    void pressAfterAnswer(int ms, char key) override
    {
        sim.callees = {SimulatedModem::Callee{SimulatedModem::Callee::Answer, 1, -1, {{ms, key}}}};
    }
    int answered() const override { return int(sim.dialTimes.size()) - before; }
    int offered() const override { return answered(); }
    bool heardHash() const override { return sim.toneLists.contains("#"); }
    bool heardTheSound() const override { return !sim.audioSessionBytes.isEmpty(); }
};

struct SipEnd : FarEnd {
    // A busy party turns every call down: "486 Rejected".
    SipEnd(const QString& folder, bool busy)
        : party(folder, busy ? CalledParty::Reject : CalledParty::Auto)
    {}
    CalledParty party;
    QString lineName() const override { return SipLine::lineName(QStringLiteral("sip:alarm@127.0.0.1")); }
    QStringList numbers() const override { return {party.uri(), party.uri()}; }
    void pressAfterAnswer(int ms, char key) override { party.keys = {{ms, key}}; }
    int answered() const override { return party.answered; }
    int offered() const override { return party.offered; }
    bool heardHash() const override { return party.heard.contains('#'); }
    // The 1 kHz alarm sound, in what the party recorded of the first call.
    bool heardTheSound() const override
    {
        // baresip writes the recording's header when the call has ended.
        waitFor([this] { return !party.recording().isEmpty(); }, 3000);
        const QString file = party.recording();
        if (file.isEmpty())
            return false;
        const auto [seconds, hz] = toneIn(readWaveFile(file));
        return seconds > 0.5 && std::abs(hz - 1000) < 100;
    }
};
} // namespace

// The alarm call sequence over the line device, once on each line of the station: the same keys must
// act the same way over the voice modem and over SIP.
class CallSequenceOverLines : public ::testing::TestWithParam<Provider>, protected CallHost {
protected:
    void SetUp() override
    {
        if (GetParam() == Provider::Sip) {
            if (QStandardPaths::findExecutable("baresip").isEmpty())
                GTEST_SKIP() << "baresip is not installed (package baresip-core)";
            SipLine& sip = lines.sip();
            const quint16 base = basePort();
            sip.setRuntimeFolder(dir.path());
            sip.setNetwork({QStringLiteral("127.0.0.1"), base, quint16(base + 4), quint16(base + 9)});
            sip.setTiming({5000, 3000, 5000, 2000, 1000});
        }
        modem.setScanSystemPorts(false);
        modem.setLockFolder(dir.path());
        modem.setTiming({2000, 500, 20000});
        tel.setTiming({10, 5000});
        tel.MaxAttempts = 1;
        writeSine(dir.filePath("alarm.wav"), 1000, 1.5);
        sounds = {dir.filePath("alarm.wav")};
    }
    void TearDown() override
    {
        if (calls)
            calls->EndAlarmCall();
        lines.stop();
    }

    void start(FarEnd& end)
    {
        numbers = end.numbers();
        tel.refreshDevices();
        const QString name = end.lineName().isEmpty() ? tel.DeviceNames().value(0) : end.lineName();
        ASSERT_TRUE(tel.DeviceNames().contains(name)) << tel.DeviceNames().join(',').toStdString();
        tel.setSelectedDevice(name);
        calls = std::make_unique<AlarmCallSequence>(tel, host(), TickClock::system());
        calls->setWaits({100, 50, 50, 200, 100, 60000});
        calls->CallNextNumber();
    }
    std::unique_ptr<FarEnd> farEnd(const QString& name, bool busy = false)
    {
        if (GetParam() == Provider::Modem)
            return std::make_unique<ModemEnd>(sim, busy);
        return std::make_unique<SipEnd>(dir.filePath(name), busy);
    }

    QTemporaryDir dir;
    SimulatedModem sim;
    VoiceModem modem{QStringList{sim.path()}};
    SipLine::Account account{QStringLiteral("sip:alarm@127.0.0.1"), {}, {}};
    TelephoneLines lines{modem, [this] { return account; }};
    LineDevice tel{&lines};
    std::unique_ptr<AlarmCallSequence> calls;
};

TEST_P(CallSequenceOverLines, TheKeysActAsOverTheModem)
{
    const struct {
        char key;
        int answered; // calls answered once it has settled
        int pauses;
        bool hash; // "#" goes back
    } cases[] = {
        {'0', 1, 0, false},
        {'1', 2, 0, false},
        {'2', 1, 0, false},
        {'3', 1, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        pane.clear();
        pauses = 0;
        std::unique_ptr<FarEnd> end = farEnd(QStringLiteral("party%1").arg(c.key));
        end->pressAfterAnswer(1800, c.key);
        start(*end);
        ASSERT_TRUE(waitFor([&] { return pane.contains(QStringLiteral("收到对方按键：") + QChar(c.key)); }, 10000))
            << pane.join('\n').toStdString();
        waitFor([&] { return end->answered() >= c.answered && (!c.hash || end->heardHash()); }, 5000);
        waitFor([] { return false; }, 500); // nothing more follows
        EXPECT_EQ(end->answered(), c.answered) << pane.join(u'\n').toStdString();
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(end->heardHash(), c.hash);
        calls->EndAlarmCall();
        waitFor([] { return false; }, 300);
        EXPECT_TRUE(end->heardTheSound());
        calls.reset();
    }
}

// However the line reports a busy number (the modem's BUSY result alone, SIP's 486), the number is
// dialled again until the attempts are used up and then reported busy; the alarm does not move on.
TEST_P(CallSequenceOverLines, ABusyNumberIsDialledAgainThenReportedBusy)
{
    tel.MaxAttempts = 3;
    tel.RetryWait = 30; // seconds of 10 ms
    std::unique_ptr<FarEnd> end = farEnd(QStringLiteral("busy"), true);
    start(*end);
    ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("TapiFail")); }, 15000)) << pane.join(u'\n').toStdString();
    waitFor([] { return false; }, 1000); // nothing more follows
    EXPECT_EQ(end->offered(), 3);
    EXPECT_EQ(pane.count(QStringLiteral("忙音，对方忙！")), 3);
    EXPECT_TRUE(logged(QStringLiteral("所拨电话号码忙，请稍候再试！")));
    EXPECT_FALSE(std::any_of(pane.begin(), pane.end(), [](const QString& l) { return l.startsWith("断线重拨:"); }))
        << pane.join(u'\n').toStdString();
    EXPECT_EQ(tel.CurrentCallState(), 0);
}

INSTANTIATE_TEST_SUITE_P(Lines, CallSequenceOverLines, ::testing::Values(Provider::Modem, Provider::Sip),
                         [](const auto& info) { return info.param == Provider::Modem ? "Modem" : "Sip"; });
