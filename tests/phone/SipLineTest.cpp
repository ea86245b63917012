#include "phone/SipLine.h"
#include "SipParty.h"
#include "phone/BaresipControl.h"
#include "phone/CallStates.h"
#include "phone/LineDevice.h"
#include "phone/VoiceModem.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <memory>

using namespace SipParty;

class SipLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("baresip").isEmpty())
            GTEST_SKIP() << "baresip is not installed (package baresip-core)";
        ASSERT_TRUE(dir.isValid());
        const quint16 base = basePort();
        sip.setRuntimeFolder(dir.path());
        sip.setNetwork({QStringLiteral("127.0.0.1"), base, quint16(base + 4), quint16(base + 9)});
        sip.setTiming({5000, 3000, 1500, 3000, 1000});
        sip.setAccount({QStringLiteral("sip:alarm@127.0.0.1"), {}, {}});
        tel = std::make_unique<LineDevice>(&sip);
        tel->setTiming({10, 5000});
        tel->MaxAttempts = 1;
        tel->OnTapiConnect = [this] { ++connects; };
        tel->OnTapiFail = [this] { ++fails; };
        tel->OnTapiDTMF = [this](QChar digit, int) { keys.append(digit); };
        tel->OnTapiWaveNotify = [this](LineDevice::WaveMessage msg) { waves.append(msg); };
        tel->OnTapiStatus = [this](bool, bool, int, int message, int p1, int p2, int) {
            if (message == CallStates::kCallStateMessage)
                states.append({quint32(p1), quint32(p2)});
        };
        tel->refreshDevices();
        ASSERT_EQ(tel->DeviceNames(), QStringList{QStringLiteral("SIP: sip:alarm@127.0.0.1")});
        tel->setSelectedDevice(tel->DeviceNames().first());
        tel->setEnableVoice(true);
    }
    void TearDown() override
    {
        tel.reset();
        sip.stop();
    }
    bool sawState(quint32 state) const
    {
        return std::any_of(states.begin(), states.end(), [&](auto s) { return s.first == state; });
    }

    QTemporaryDir dir;
    SipLine sip;
    std::unique_ptr<LineDevice> tel;
    int connects = 0;
    int fails = 0;
    QString keys;
    QList<LineDevice::WaveMessage> waves;
    QList<std::pair<quint32, quint32>> states;
};

TEST_F(SipLineTest, CallCarriesTheSoundAndTheKeysBothWays)
{
    CalledParty party(dir.filePath("b"), CalledParty::Auto);
    ASSERT_TRUE(party.ready());
    tel->PlaceCall(party.uri());
    ASSERT_TRUE(waitFor([&] { return connects == 1; }, 5000)) << "not connected";
    EXPECT_TRUE(sawState(CallStates::kRingback));

    // The private folder is the owner's alone and holds no password.
    EXPECT_EQ(QFile::permissions(sip.configFolder()) & 0x0077, 0);

    const QString tone = dir.filePath("tone.wav");
    writeSine(tone, 1000, 4); // longer than one piece of three seconds
    tel->PlayWave(tone);
    ASSERT_TRUE(waitFor([&] { return waves.contains(LineDevice::waPlayDone); }, 8000));
    EXPECT_EQ(tel->WaveState(), 0);

    for (const char* key : {"0", "1", "2", "3"})
        party.control.command("sndcode", key, 2000, nullptr), waitFor([] { return false; }, 250);
    ASSERT_TRUE(waitFor([&] { return keys.size() == 4; }, 3000)) << keys.toStdString();
    EXPECT_EQ(keys, "0123");

    tel->SendDigits(QStringLiteral("#"));
    ASSERT_TRUE(waitFor([&] { return party.heard.contains('#'); }, 3000));
    waitFor([] { return false; }, 300);
    tel->HangUp();
    EXPECT_EQ(tel->CurrentCallState(), 0);
    EXPECT_EQ(fails, 0);

    // The call survived the end of the sound, and the tone arrived whole.
    party.control.disconnectFromPort();
    waitFor([&] { return !party.recording().isEmpty(); }, 2000);
    const auto [seconds, hz] = toneIn(readWaveFile(party.recording()));
    EXPECT_NEAR(seconds, 4.0, 0.3);
    EXPECT_NEAR(hz, 1000, 50);
}

TEST_F(SipLineTest, UnansweredCallsEndWithTheirDisconnectMode)
{
    const struct {
        CalledParty::Answer answer;
        quint32 mode;
        bool busyState;
    } cases[] = {
        {CalledParty::Reject, DisconnectModes::kBusy, true},
        {CalledParty::Ring, DisconnectModes::kNoAnswer, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.answer));
        fails = 0;
        states.clear();
        CalledParty party(dir.filePath(QStringLiteral("p%1").arg(int(c.answer))), c.answer);
        ASSERT_TRUE(party.ready());
        tel->PlaceCall(party.uri());
        ASSERT_TRUE(waitFor([&] { return fails == 1; }, 5000));
        EXPECT_EQ(tel->FailureCode(), int(c.mode));
        EXPECT_EQ(sawState(CallStates::kBusy), c.busyState);
        EXPECT_EQ(connects, 0);
        EXPECT_EQ(tel->CurrentCallState(), 0);
    }
}

TEST_F(SipLineTest, FarEndHangingUpOrBaresipDyingDisconnectsTheCall)
{
    for (const bool crash : {false, true}) {
        SCOPED_TRACE(crash);
        connects = 0;
        states.clear();
        CalledParty party(dir.filePath(crash ? "crash" : "bye"), CalledParty::Auto);
        ASSERT_TRUE(party.ready());
        tel->PlaceCall(party.uri());
        ASSERT_TRUE(waitFor([&] { return connects == 1; }, 5000));
        if (crash)
            ::kill(pid_t(sip.processId()), SIGKILL);
        else
            party.control.command("hangup", {}, 2000, nullptr);
        ASSERT_TRUE(waitFor([&] { return tel->CurrentCallState() == 0; }, 5000));
        EXPECT_TRUE(sawState(CallStates::kDisconnected));
        EXPECT_EQ(fails, 0);
    }
    // The next use starts baresip again.
    CalledParty party(dir.filePath("again"), CalledParty::Auto);
    tel->PlaceCall(party.uri());
    EXPECT_TRUE(waitFor([&] { return connects == 1; }, 5000));
    tel->HangUp();
}

TEST_F(SipLineTest, MissingBaresipFailsTheCallWithAReason)
{
    sip.setProgram(dir.filePath("no-such-baresip"));
    tel->OnTapiFail = nullptr;
    try {
        tel->PlaceCall(QStringLiteral("sip:b@127.0.0.1"));
        FAIL() << "no error";
    } catch (const TapiError& error) {
        EXPECT_TRUE(error.text().contains("baresip cannot be started")) << error.text().toStdString();
    }
    EXPECT_EQ(tel->CurrentCallState(), 0);
}

TEST(SipDialString, NumbersGoToTheServerAndTheModemRefusesSipAddresses)
{
    SipLine sip;
    VoiceModem modem;
    const struct {
        QString server, number, sip, modem;
    } cases[] = {
        {"pbx.example.com", "0123-456 789", "sip:0123456789@pbx.example.com", "0123456789"},
        {"sip:pbx.example.com:5070", "110", "sip:110@pbx.example.com:5070", "110"},
        {"", "*21#", "sip:*21#@example.org", "*21#"},
        {"pbx.example.com", " sip:ops@example.net ", "sip:ops@example.net", ""},
        {"pbx.example.com", "sip:ops <x>@example.net", "", ""},
        {"pbx.example.com", "sip:ops", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number.toStdString());
        sip.setAccount({"sip:alarm@example.org", {}, c.server});
        QString error;
        EXPECT_EQ(QString::fromUtf8(sip.dialString(c.number, &error)), c.sip);
        EXPECT_EQ(error.isEmpty(), !c.sip.isEmpty());
        error.clear();
        EXPECT_EQ(QString::fromUtf8(modem.dialString(c.number, &error)), c.modem);
        if (c.modem.isEmpty() && LineProvider::isSipAddress(c.number)) {
            EXPECT_TRUE(error.contains("SIP address")) << error.toStdString();
        }
    }
    sip.setAccount({});
    EXPECT_TRUE(sip.lines().isEmpty());
}

TEST(BaresipFrames, FramesSplitAndJoinedComeApartWhole)
{
    QByteArray stream = BaresipControl::frame("{\"a\":1}") + BaresipControl::frame("{}");
    QByteArray buffer = stream.left(5);
    EXPECT_TRUE(BaresipControl::takeFrames(buffer).isEmpty());
    buffer += stream.mid(5);
    EXPECT_EQ(BaresipControl::takeFrames(buffer), (QList<QByteArray>{"{\"a\":1}", "{}"}));
    EXPECT_TRUE(buffer.isEmpty());
    buffer = "7:abcdefgX2:{}";
    EXPECT_TRUE(BaresipControl::takeFrames(buffer).isEmpty());
    EXPECT_TRUE(buffer.isEmpty()) << "a stream out of step is dropped";
}
