#include "PhoneFixture.h"

#include <QFile>

using Callee = SimulatedModem::Callee;

class CallWaveTest : public PhoneFixture {
protected:
    // The 16-bit little-endian bytes the modem should receive for a file.
    static QByteArray expectedAudio(const QString& file)
    {
        const PcmSound sound = convertSound(readWaveFile(file), 8000, 1);
        return QByteArray(reinterpret_cast<const char*>(sound.samples.data()), qsizetype(sound.samples.size() * 2));
    }
};

TEST_F(CallWaveTest, ATwentySecondFileGoesInSevenChunksAndEndsOnce)
{
    sim.speed = 40;
    connectCall();
    const QString file = waveFile(QStringLiteral("alarm.wav"), 20);
    tel->PlayWave(file);
    EXPECT_EQ(tel->WaveState(), 1);
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayClose) == 1; }, 10000));
    EXPECT_EQ(waves, (QList<LineDevice::WaveMessage>{LineDevice::waPlayOpen, LineDevice::waPlayDone,
                                                     LineDevice::waPlayClose}));
    EXPECT_EQ(tel->WaveState(), 0);
    EXPECT_EQ(sim.selectedFormat, 133) << "16-bit linear is the best format offered";
    EXPECT_EQ(sim.audio.size(), 320000);
    EXPECT_TRUE(sim.audio == expectedAudio(file)) << "the file arrived altered";
    pump(300);
    EXPECT_EQ(count(LineDevice::waPlayDone), 1);
}

TEST_F(CallWaveTest, ConvertsToTheFormatTheModemOffers)
{
    sim.speed = 40;
    sim.formats = {"129,\"IMA ADPCM\",4,0,(8000),(0),(0)", "131,\"ULAW\",8,0,(8000),(0),(0)"};
    connectCall();
    // 44.1 kHz: resampled to 8000 Hz, then u-law, one byte a sample.
    tel->PlayWave(waveFile(QStringLiteral("cd.wav"), 1, 44100));
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 1; }));
    EXPECT_EQ(sim.selectedFormat, 131);
    EXPECT_NEAR(sim.audio.size(), 8000, 10);
}

// The sound reaches the modem as fast as it plays: a UART at 115200 carries 11,520 bytes a second,
// too few for 16-bit samples at 8 kHz, so one byte a sample goes there; a USB modem takes any rate.
TEST_F(CallWaveTest, TheFormatIsOneTheSerialLineCarriesInTime)
{
    const struct {
        const char* port;
        int baud;
        int bytesPerSample;
    } cases[] = {{"ttyS7", 115200, 1}, {"ttyUSB3", 115200, 1}, {"ttyACM2", 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        sim.baud = c.baud;
        sim.underruns = 0;
        sim.audioSessionBytes.clear();
        port = sim.linkAs(QString::fromLatin1(c.port));
        build();
        connects = 0;
        waves.clear();
        connectCall();
        tel->PlayWave(waveFile(QStringLiteral("one.wav"), 1));
        ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 1; }));
        EXPECT_EQ(sim.audioSessionBytes, QList<qint64>{8000 * c.bytesPerSample});
        EXPECT_EQ(sim.underruns, 0) << "the line could not keep up with format " << sim.selectedFormat;
        tel->HangUp();
    }
}

TEST_F(CallWaveTest, StopWaveInTheMiddleEndsOnceAndIdle)
{
    connectCall();
    tel->PlayWave(waveFile(QStringLiteral("long.wav"), 10));
    ASSERT_TRUE(waitFor([this] { return sim.audio.size() > 8000; }));
    tel->StopWave();
    ASSERT_TRUE(waitFor([this] { return tel->WaveState() == 0; }));
    EXPECT_EQ(count(LineDevice::waPlayDone), 1);
    EXPECT_EQ(sim.aborts, 1);
    EXPECT_LT(sim.audio.size(), 160000 / 2);
    tel->StopWave(); // nothing plays: no second notice
    pump(200);
    EXPECT_EQ(count(LineDevice::waPlayDone), 1);
    EXPECT_EQ(tel->CurrentCallState(), 8) << "the call goes on";
}

TEST_F(CallWaveTest, PlayWaveWhilePlayingRestartsWithTheNewFile)
{
    connectCall();
    tel->PlayWave(waveFile(QStringLiteral("first.wav"), 10));
    ASSERT_TRUE(waitFor([this] { return sim.audio.size() > 4000; }));
    sim.speed = 40;
    const QString second = waveFile(QStringLiteral("second.wav"), 2);
    tel->PlayWave(second);
    EXPECT_EQ(count(LineDevice::waPlayDone), 1) << "the first sound ended before the second began";
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 2; }));
    ASSERT_EQ(sim.audioSessionBytes.size(), 2);
    EXPECT_EQ(sim.audioSessionBytes[1], 32000);
    EXPECT_TRUE(sim.audio.endsWith(expectedAudio(second)));
}

TEST_F(CallWaveTest, FilesTheModemCannotBeFedRaiseWaveFail)
{
    connectCall();
    const QString text = dir.filePath(QStringLiteral("notes.wav"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF this is no sound at all");
    file.close();
    const QString empty = waveFile(QStringLiteral("empty.wav"), 0);
    const QString hour = dir.filePath(QStringLiteral("hour.wav"));
    {
        // An hour of 8 kHz silence, written without holding it in memory twice.
        PcmSound sound{8000, 1, std::vector<qint16>(size_t(3600) * 8000)};
        writeWaveFile(hour, sound, 16);
    }
    const struct {
        QString file;
        int code;
    } cases[] = {{text, TapiErrors::kWaveFail},
                 {empty, TapiErrors::kWaveFail},
                 {hour, TapiErrors::kWaveFail},
                 {dir.filePath(QStringLiteral("missing.wav")), TapiErrors::kWaveFileMissing}};
    for (const auto& c : cases) {
        try {
            tel->PlayWave(c.file);
            ADD_FAILURE() << c.file.toStdString() << " was played";
        } catch (const TapiError& error) {
            EXPECT_EQ(error.className(), QStringLiteral("ETapiWaveFail")) << c.file.toStdString();
            EXPECT_EQ(error.code(), c.code) << c.file.toStdString();
        }
        EXPECT_EQ(tel->WaveState(), 0);
    }
    pump(100);
    EXPECT_TRUE(waves.isEmpty());
    EXPECT_TRUE(sim.audio.isEmpty());
}

TEST_F(CallWaveTest, AKeyWhileTheSoundPlaysStopsItAndIsDelivered)
{
    sim.callees = {Callee{Callee::Answer, 1, -1, {{700, '3'}}}};
    qint64 audioAtKey = -1;
    int doneAtKey = -1;
    tel->OnTapiDTMF = [&](QChar digit, int) {
        keys.append(digit);
        audioAtKey = sim.audio.size();
        doneAtKey = count(LineDevice::waPlayDone);
    };
    connectCall();
    tel->PlayWave(waveFile(QStringLiteral("alarm.wav"), 5));
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 1; }));
    EXPECT_EQ(keys, QList<QChar>{u'3'});
    EXPECT_EQ(doneAtKey, 0) << "the key is delivered while the sound still ends";
    EXPECT_EQ(sim.aborts, 1) << "the key stopped the sound";
    // What was already on its way when the key came, no more: a few kilobytes of buffers.
    EXPECT_LT(sim.audio.size() - audioAtKey, 16000);
    EXPECT_LT(sim.audio.size(), 80000);

    // Without InterruptOnDigit a key during playback is not delivered at all.
    tel->InterruptOnDigit = false;
    tel->PlayWave(waveFile(QStringLiteral("short.wav"), 1));
    ASSERT_TRUE(waitFor([this] { return tel->WaveState() == 1 && sim.transmitting(); }));
    sim.pressKey('7');
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 2; }));
    EXPECT_EQ(keys, QList<QChar>{u'3'});
}

TEST_F(CallWaveTest, SoundIsTakenAtTheRealTimePace)
{
    connectCall();
    tel->PlayWave(waveFile(QStringLiteral("pace.wav"), 1.5));
    ASSERT_TRUE(waitFor([this] { return count(LineDevice::waPlayDone) == 1; }));
    EXPECT_EQ(sim.audio.size(), 24000);
    // 1.5 s of sound; the modem's small buffer lets it end a little early.
    EXPECT_GE(sim.lastSessionMs, 1350);
    EXPECT_LE(sim.lastSessionMs, 2500);
}

TEST_F(CallWaveTest, ALineLostDuringPlaybackEndsTheSoundOnceAndReportsIt)
{
    connectCall();
    tel->PlayWave(waveFile(QStringLiteral("alarm.wav"), 5));
    ASSERT_TRUE(waitFor([this] { return sim.audio.size() > 4000; }));
    sim.unplug();
    ASSERT_TRUE(waitFor([this] { return tel->WaveState() == 0 && tel->CurrentCallState() == 0; }));
    pump(100);
    EXPECT_EQ(count(LineDevice::waPlayDone), 1);
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_TRUE(errors.last().contains(QStringLiteral("lost"))) << errors.last().toStdString();
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const Status& s) {
        return quint32(s.param1) == CallStates::kDisconnected;
    })) << "the call sequence learns that the call dropped";
    EXPECT_EQ(fails, 0);
}
