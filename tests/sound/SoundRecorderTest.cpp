#include "sound/SoundRecorder.h"
#include "SignalProbe.h"
#include "SoundServer.h"
#include "sound/Mply.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(RecordingHeader, IsTheCanonicalHeaderOfTheChosenFormat)
{
    struct Case {
        int channels, resolution, rate;
        const char* hex;
    } cases[] = {
        // mono, 16 bits, 8000 Hz: 16000 bytes per second, block alignment 2
        {0, 1, 0,
         "52494646"
         "24000000"
         "57415645"
         "666d7420"
         "10000000"
         "0100"
         "0100"
         "401f0000"
         "803e0000"
         "0200"
         "1000"
         "64617461"
         "00000000"},
        // stereo, 8 bits, 44100 Hz: 88200 bytes per second, block alignment 2
        {1, 0, 3,
         "52494646"
         "24000000"
         "57415645"
         "666d7420"
         "10000000"
         "0100"
         "0200"
         "44ac0000"
         "88580100"
         "0200"
         "0800"
         "64617461"
         "00000000"},
        // boxes never touched: mono, 8 bits, 11025 Hz
        {-1, -1, -1,
         "52494646"
         "24000000"
         "57415645"
         "666d7420"
         "10000000"
         "0100"
         "0100"
         "112b0000"
         "112b0000"
         "0100"
         "0800"
         "64617461"
         "00000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(recordingHeader(RecordingFormat::fromChoices(c.channels, c.resolution, c.rate)).toHex(),
                  QByteArray(c.hex));
    }
}

TEST(SoundRecorder, NamesStayInTheProgramsFolder)
{
    Mply player;
    SoundRecorder recorder(player, QStringLiteral("/data"));
    EXPECT_EQ(recorder.recordingPath(QStringLiteral("msg.wav")), QStringLiteral("/data/msg.wav.wav"));
    for (const char* bad : {"", ".", "..", "../up", "a/b", "a\\b", "c:x"})
        EXPECT_FALSE(SoundRecorder::isPlainName(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(SoundRecorder::isPlainName(QStringLiteral("警报\U0001F514")));
    EXPECT_TRUE(SoundRecorder::isPlainName(QStringLiteral("断网报警 1")));
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (SoundServer::sineSource().isNull() || SoundServer::nullSink().isNull())
            GTEST_SKIP() << "no PulseAudio server with tw_null and the sine source tw_sine (tools/run-tests.sh)";
        player.setInputDevice(SoundServer::sineSource());
        player.setOutputDevice(SoundServer::nullSink());
    }
    QTemporaryDir dir;
    Mply player;
    SoundRecorder recorder{player, dir.path()};
};

TEST_F(RecorderTest, RecordsTheSourceInTheChosenFormat)
{
    const QString path = recorder.recordingPath(QStringLiteral("test"));
    recorder.start(path, RecordingFormat::fromChoices(1, 0, 1));
    EXPECT_TRUE(recorder.isRecording());
    QTest::qWait(1000);
    recorder.stopAndSave();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(player.mode(), Mply::Mode::NotOpen);
    EXPECT_THROW(recorder.stopAndSave(), SoundFileError);

    WaveCoding coding;
    const PcmSound got = readWaveFile(path, coding);
    EXPECT_EQ(coding.channels, 2);
    EXPECT_EQ(coding.bitsPerSample, 8);
    EXPECT_EQ(coding.sampleRate, 11025);
    EXPECT_GT(got.frames(), 11025 / 2);
    EXPECT_NEAR(SignalProbe::frequency(got.samples, 11025, 2, 1), 440, 3);
}

TEST_F(RecorderTest, ASoundThatTakesThePlayerOverSavesTheRecordingFirst)
{
    const QString path = recorder.recordingPath(QStringLiteral("msg"));
    const QString other = dir.filePath(QStringLiteral("alarm.wav"));
    writeWaveFile(other, PcmSound{8000, 1, SignalProbe::sine(8000, 1, 1000, 0.1)}, 16);
    const QByteArray otherBytes = [&] {
        QFile f(other);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QSignalSpy interrupted(&recorder, &SoundRecorder::recordingInterrupted);
    recorder.start(path, RecordingFormat::fromChoices(0, 1, 0));
    QTest::qWait(1000);
    player.open(other);
    player.play();
    ASSERT_EQ(interrupted.size(), 1);
    EXPECT_TRUE(interrupted[0][1].toBool());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_GT(readWaveFile(path).frames(), 4000);
    // A stop now finds no recording, and never saves over the file that plays.
    EXPECT_THROW(recorder.stopAndSave(), SoundFileError);
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), otherBytes);
}

} // namespace
