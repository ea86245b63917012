#include "PhoneFixture.h"

#include <QFile>
#include <QRegularExpression>

using Callee = SimulatedModem::Callee;

class LineDeviceTest : public PhoneFixture {};

TEST_F(LineDeviceTest, FindsTheModemByItsOwnIdentification)
{
    tel->refreshDevices();
    ASSERT_EQ(tel->DeviceNames().size(), 1);
    EXPECT_EQ(tel->DeviceNames().first(), QStringLiteral("SIMULATED V.253 VOICE MODEM (%1)").arg(sim.path().mid(5)));
    tel->setSelectedDevice(tel->DeviceNames().first());
    EXPECT_NO_THROW(tel->setEnableVoice(true));
    EXPECT_TRUE(tel->EnableVoice());
}

TEST_F(LineDeviceTest, AFailedDialIsRetriedThenReportedOnceWithItsMode)
{
    struct Case {
        const char* name;
        Callee::Outcome outcome;
        int maxAttempts;
        int failureCode;
        quint32 statusSeen;
    };
    const QList<Case> cases{
        {"busy", Callee::Busy, 3, int(DisconnectModes::kBusy), CallStates::kBusy},
        {"no answer", Callee::NoAnswer, 2, int(DisconnectModes::kNoAnswer), CallStates::kRingback},
        {"no dial tone", Callee::NoDialTone, 1, int(DisconnectModes::kNoDialTone), CallStates::kDisconnected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        statuses.clear();
        fails = 0;
        sim.callees = {Callee{c.outcome}};
        sim.dialTimes.clear();
        tel->MaxAttempts = c.maxAttempts;
        tel->refreshDevices();
        tel->setSelectedDevice(tel->DeviceNames().value(0));
        tel->setEnableVoice(true);
        tel->PlaceCall(QStringLiteral("5551234"));
        ASSERT_TRUE(waitFor([this] { return fails > 0; }, 10000));
        pump(200);
        EXPECT_EQ(fails, 1);
        EXPECT_EQ(sim.dialTimes.size(), c.maxAttempts);
        EXPECT_EQ(tel->FailureCode(), c.failureCode);
        EXPECT_EQ(tel->CurrentCallState(), 0);
        EXPECT_FALSE(sim.offHook());
        EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [&](const Status& s) {
            return s.message == CallStates::kCallStateMessage && quint32(s.param1) == c.statusSeen;
        }));
        // RetryWait 60 of the shortened 10 ms seconds between two attempts.
        for (int i = 1; i < sim.dialTimes.size(); ++i)
            EXPECT_GE(sim.dialTimes[i] - sim.dialTimes[i - 1], 600);
    }
}

TEST_F(LineDeviceTest, HangUpDuringTheRetryWaitStopsFurtherAttempts)
{
    sim.callees = {Callee{Callee::Busy}};
    tel->RetryWait = 30;
    tel->refreshDevices();
    tel->PlaceCall(QStringLiteral("5551234")); // the only line is taken without a selection
    ASSERT_TRUE(waitFor([this] {
        return std::any_of(statuses.begin(), statuses.end(),
                           [](const Status& s) { return s.message == CallStates::kRetryWaitMessage; });
    }));
    tel->HangUp();
    EXPECT_TRUE(tel->cancelRequested());
    pump(800);
    EXPECT_EQ(sim.dialTimes.size(), 1);
    EXPECT_EQ(fails, 1) << "a call never connected still reports its failure once";
}

TEST_F(LineDeviceTest, PlaceCallWhileTheLineIsOpenDoesNotDial)
{
    sim.commandDelayMs = 150;
    tel->refreshDevices();
    tel->setSelectedDevice(tel->DeviceNames().first());
    bool secondThrew = false;
    QTimer::singleShot(50, [&] {
        try {
            tel->PlaceCall(QStringLiteral("999"));
        } catch (const TapiError&) {
            secondThrew = true;
        }
    });
    tel->PlaceCall(QStringLiteral("5551234"));
    ASSERT_TRUE(waitFor([this] { return connects == 1; }));
    EXPECT_FALSE(secondThrew);
    EXPECT_EQ(sim.dialTimes.size(), 1);
    EXPECT_TRUE(sim.commands.contains("ATD5551234"));
    EXPECT_THROW(tel->PlaceCall(QStringLiteral("999")), TapiError) << "a connected call makes the line busy";
}

TEST_F(LineDeviceTest, ALineWithoutVoiceRefusesVoiceAndStaysData)
{
    sim.voice = false;
    tel->refreshDevices();
    tel->setSelectedDevice(tel->DeviceNames().first());
    try {
        tel->setEnableVoice(true);
        FAIL() << "voice was accepted";
    } catch (const TapiError& error) {
        EXPECT_EQ(error.className(), QStringLiteral("ETapiVoiceNotSupported"));
        EXPECT_EQ(error.code(), -13935);
    }
    EXPECT_FALSE(tel->EnableVoice());
}

TEST_F(LineDeviceTest, ConnectedCallHearsKeysSendsTonesAndEndsOnTheFarEndsHangUp)
{
    sim.callees = {Callee{Callee::Answer, 2, 600, {{100, '5'}, {150, '#'}}}};
    connectCall();
    EXPECT_EQ(tel->CurrentCallState(), 8);
    ASSERT_TRUE(waitFor([this] { return keys.size() == 2; }));
    EXPECT_EQ(keys, (QList<QChar>{u'5', u'#'}));
    tel->SendDigits(QStringLiteral("#"));
    ASSERT_TRUE(waitFor([this] { return !sim.toneLists.isEmpty(); }));
    EXPECT_EQ(sim.toneLists.first(), QByteArray("#"));
    ASSERT_TRUE(waitFor([this] { return tel->CurrentCallState() == 0 && !sim.offHook(); }));
    EXPECT_EQ(tel->FailureCode(), int(DisconnectModes::kNormal));
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(),
                            [](const Status& s) { return quint32(s.param1) == CallStates::kDisconnected; }));
    pump(100);
    EXPECT_EQ(fails, 0) << "a connected call that ends is no failure";
}

TEST_F(LineDeviceTest, AFloodOfKeysIsDeliveredWithoutStallingTheLoop)
{
    connectCall();
    for (int i = 0; i < 500; ++i)
        sim.pressKey(char('0' + i % 10));
    ASSERT_TRUE(waitFor([this] { return keys.size() == 500; }));
    sim.sendEvent('Z'); // a code nobody knows
    tel->HangUp();
    EXPECT_EQ(tel->CurrentCallState(), 0);
    EXPECT_FALSE(sim.offHook());
}

// The device goes away with the call still on the line (the monitor ends without its orderly
// hang-up): closing the port puts the modem on hook all the same, whether it was dialling or playing.
TEST_F(LineDeviceTest, ClosingThePortMidCallPutsTheModemOnHook)
{
    for (const bool playing : {false, true}) {
        SCOPED_TRACE(playing ? "playing" : "dialling");
        build();
        sim.callees = {Callee{playing ? Callee::Answer : Callee::Silent}};
        tel->refreshDevices();
        tel->setSelectedDevice(tel->DeviceNames().value(0));
        tel->setEnableVoice(true);
        connects = 0;
        tel->PlaceCall(QStringLiteral("5551234"));
        if (playing) {
            ASSERT_TRUE(waitFor([this] { return connects == 1; }));
            tel->PlayWave(waveFile(QStringLiteral("long.wav"), 10));
        }
        ASSERT_TRUE(waitFor([this, playing] { return playing ? sim.transmitting() : sim.offHook(); }));
        pump(100);
        tel.reset();
        EXPECT_TRUE(waitFor([this] { return !sim.offHook() && !sim.transmitting(); }, 3000));
    }
}

struct BadLine {
    const char* name;
    std::function<void(SimulatedModem&, const QString& lockFolder)> spoil;
    QString number;
    QString errorClass; // thrown by PlaceCall; empty: a failure notice instead
    int failureCode;
    QString reasonPart;
};

class BadLineTest : public PhoneFixture, public ::testing::WithParamInterface<BadLine> {};

TEST_P(BadLineTest, EndsInAClearErrorAndAClosedLine)
{
    const BadLine& c = GetParam();
    tel->refreshDevices();
    ASSERT_EQ(tel->DeviceNames().size(), 1);
    tel->setSelectedDevice(tel->DeviceNames().first());
    c.spoil(sim, dir.path());
    modem->setTiming({400, 300, 1500});
    try {
        tel->PlaceCall(c.number);
        EXPECT_TRUE(c.errorClass.isEmpty()) << "no error";
        ASSERT_TRUE(waitFor([this] { return fails == 1; }, 8000));
        EXPECT_EQ(tel->FailureCode(), c.failureCode);
        const QString text = tel->FailureText(tel->FailureCode());
        EXPECT_TRUE(text.contains(c.reasonPart)) << text.toStdString();
    } catch (const TapiError& error) {
        EXPECT_EQ(error.className(), c.errorClass);
        EXPECT_TRUE(error.text().contains(c.reasonPart)) << error.text().toStdString();
    }
    EXPECT_FALSE(modem->isOpen());
    EXPECT_EQ(tel->CurrentCallState(), 0);
    if (c.errorClass != QStringLiteral("ETapiAllocated")) {
        EXPECT_FALSE(QFile::exists(dir.filePath(UucpLock::fileName(sim.path())))) << "the lock stays behind";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modem, BadLineTest,
    ::testing::Values(BadLine{"stops answering", [](SimulatedModem& s, const QString&) { s.mute = true; }, "5551234",
                              "ETapiOperationFailed", 0, "does not answer"},
                      BadLine{"answers garbage", [](SimulatedModem& s, const QString&) { s.garbage = true; }, "5551234",
                              "ETapiOperationFailed", 0, "answers"},
                      BadLine{"locked by another program",
                              [](SimulatedModem& s, const QString& folder) {
                                  QFile lock(folder + "/" + UucpLock::fileName(s.path()));
                                  lock.open(QIODevice::WriteOnly);
                                  lock.write("         1\n");
                              },
                              "5551234", "ETapiAllocated", 0, "process 1"},
                      BadLine{"a number a dial string cannot hold", [](SimulatedModem&, const QString&) {}, "555;ATZ",
                              "", TapiErrors::codeOf(TapiErrors::kInvalAddress), "cannot carry"},
                      BadLine{"no result to the dial",
                              [](SimulatedModem& s, const QString&) {
                                  s.callees = {SimulatedModem::Callee{SimulatedModem::Callee::Silent}};
                              },
                              "5551234", "", TapiErrors::codeOf(TapiErrors::kOperationFailed), "no result"},
                      BadLine{"unplugged while dialling",
                              [](SimulatedModem& s, const QString&) {
                                  s.callees = {SimulatedModem::Callee{SimulatedModem::Callee::Silent}};
                                  QObject::connect(&s, &SimulatedModem::commandReceived, &s,
                                                   [&s](const QByteArray& line) {
                                                       if (line.startsWith("ATD"))
                                                           QTimer::singleShot(50, &s, [&s] { s.unplug(); });
                                                   });
                              },
                              "5551234", "", TapiErrors::codeOf(TapiErrors::kOperationFailed), "lost"}),
    [](const ::testing::TestParamInfo<BadLine>& info) {
        QString name = QString::fromLatin1(info.param.name);
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z]")), QString());
        return name.toStdString();
    });
