#include "sound/Mply.h"
#include "SignalProbe.h"
#include "SoundServer.h"
#include "sound/SoundRecorder.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

class MplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (SoundServer::nullSink().isNull())
            GTEST_SKIP() << "no PulseAudio server with the null sink tw_null (tools/run-tests.sh starts one)";
        player.setOutputDevice(SoundServer::nullSink());
    }
    QString tone(const char* name, double hz, double seconds, int rate = 22050, int channels = 1)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeWaveFile(path, PcmSound{rate, channels, SignalProbe::sine(rate, channels, hz, seconds)}, 16);
        return path;
    }
    QTemporaryDir dir;
    Mply player;
};

TEST_F(MplyTest, PlaysTheFileToTheSoundServerEvenWhileTheWindowIsBlocked)
{
    const QString path = tone("tone.wav", 1000, 0.6);
    SoundServer::PrivateSink sink;
    ASSERT_FALSE(sink.device().isNull()) << "the test's own null sink could not be made";
    player.setOutputDevice(sink.device());
    SoundServer::MonitorRecording monitor(sink.monitor());
    ASSERT_TRUE(monitor.waitUntilRecording());
    QSignalSpy notices(&player, &Mply::notify);
    player.open(path);
    player.play();
    EXPECT_EQ(player.mode(), Mply::Mode::Playing);
    // As during an echo request: the thread that started the sound handles no events for a while.
    QThread::msleep(1000);
    ASSERT_TRUE(notices.wait(5000));
    EXPECT_EQ(notices.at(0).at(0).value<Mply::Notify>(), Mply::Notify::Successful);
    EXPECT_EQ(player.mode(), Mply::Mode::Stopped);
    QTest::qWait(300);
    EXPECT_EQ(notices.count(), 1);

    const std::vector<qint16> heard = monitor.samples();
    EXPECT_NEAR(SignalProbe::frequency(heard, 44100, 1), 1000, 3);
    // The whole sound arrived: about 0.6 s of a tone at half scale.
    long loud = 0;
    for (qint16 s : heard)
        loud += std::abs(s) > 8000;
    EXPECT_NEAR(loud / 44100.0, 0.6 * 0.67, 0.1);
}

// From the first to the last sample of a tone at half scale that the monitor heard, in seconds.
double heardSeconds(const std::vector<qint16>& samples)
{
    const auto loud = [](qint16 s) { return std::abs(s) > 4000; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
        return 0;
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    return double(std::distance(first, last.base()) - 1) / 44100;
}

TEST_F(MplyTest, EverySoundIsHeardToItsLastSampleBeforeItsPlayEnds)
{
    SoundServer::PrivateSink sink(SoundServer::PrivateSink::Rewinds::Off);
    ASSERT_FALSE(sink.device().isNull()) << "the test's own null sink could not be made";
    player.setOutputDevice(sink.device());
    for (const double seconds : {0.08, 0.25, 1.0}) {
        SCOPED_TRACE(seconds);
        const QString path = tone("t.wav", 1000, seconds);
        // paplay plays the whole file: what it is heard for is what a complete play is heard for.
        double complete = 0;
        {
            SoundServer::MonitorRecording monitor(sink.monitor());
            ASSERT_TRUE(monitor.waitUntilRecording());
            ASSERT_EQ(QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("-d"), sink.name(), path}), 0);
            QTest::qWait(300);
            complete = heardSeconds(monitor.samples());
        }
        ASSERT_NEAR(complete, seconds, 0.03);

        SoundServer::MonitorRecording monitor(sink.monitor());
        ASSERT_TRUE(monitor.waitUntilRecording());
        QSignalSpy notices(&player, &Mply::notify);
        player.open(path);
        player.play();
        ASSERT_TRUE(notices.wait(int(seconds * 1000) + 5000));
        EXPECT_EQ(notices.at(0).at(0).value<Mply::Notify>(), Mply::Notify::Successful);
        player.close();
        QTest::qWait(300);
        EXPECT_NEAR(heardSeconds(monitor.samples()), complete, 0.010);
    }
}

TEST_F(MplyTest, EveryPlayEndsWithOneNoticeOfHowItEnded)
{
    const QString a = tone("a.wav", 500, 5);
    const QString b = tone("b.wav", 700, 0.2);
    QSignalSpy notices(&player, &Mply::notify);
    auto codes = [&] {
        QList<Mply::Notify> out;
        for (const auto& n : notices)
            out << n.at(0).value<Mply::Notify>();
        return out;
    };

    player.open(a);
    player.play();
    player.play(); // the same file again: the first play is superseded
    player.stop();
    player.play();
    player.open(b); // another file: the running play is aborted
    player.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices.count() == 4; }, 5000));
    player.close();
    player.close();
    QTest::qWait(200);
    EXPECT_EQ(codes(), (QList<Mply::Notify>{Mply::Notify::Superseded, Mply::Notify::Aborted, Mply::Notify::Aborted,
                                            Mply::Notify::Successful}));
    EXPECT_EQ(player.mode(), Mply::Mode::NotOpen);
}

TEST_F(MplyTest, OpenRefusesWhatCannotBePlayedAndKeepsNothingOpen)
{
    QFile text(dir.filePath(QStringLiteral("x.wav")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a sound\r\n");
    text.close();
    // A LIST chunk that claims far more than the file holds, on which libsndfile's parser spins.
    QFile spin(dir.filePath(QStringLiteral("spin.wav")));
    ASSERT_TRUE(spin.open(QIODevice::WriteOnly));
    spin.write(QByteArray::fromHex("52494646b2000000574156454c495354210500ca205c48ff") + QByteArray(24, '\xff') +
               QByteArray::fromHex("efffffff"));
    spin.close();
    player.open(tone("ok.wav", 500, 0.1));
    for (const QString& path : {text.fileName(), spin.fileName(), dir.filePath(QStringLiteral("missing.wav"))}) {
        EXPECT_THROW(player.open(path), SoundFileError);
        EXPECT_EQ(player.mode(), Mply::Mode::NotOpen);
    }
    EXPECT_THROW(player.play(), SoundFileError);
}

TEST_F(MplyTest, PlaysASoundLongerThanAWholeFileReadHolds)
{
    // Seven minutes of 44.1 kHz stereo silence, over the 16 Mi samples a whole-file read takes.
    const qint64 bytes = qint64(7 * 60 * 44100) * 4;
    const QString path = dir.filePath(QStringLiteral("long.wav"));
    QByteArray header = recordingHeader(RecordingFormat{2, 16, 44100});
    qToLittleEndian(quint32(36 + bytes), header.data() + 4);
    qToLittleEndian(quint32(bytes), header.data() + 40);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(header);
    ASSERT_TRUE(file.resize(44 + bytes));
    file.close();
    ASSERT_THROW(readWaveFile(path), SoundFileError);

    QSignalSpy notices(&player, &Mply::notify);
    player.open(path);
    player.play();
    EXPECT_EQ(player.mode(), Mply::Mode::Playing);
    QTest::qWait(300);
    EXPECT_EQ(player.mode(), Mply::Mode::Playing);
    player.stop();
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices.at(0).at(0).value<Mply::Notify>(), Mply::Notify::Aborted);
}

TEST_F(MplyTest, RecordsTheSineSourceIntoTheOpenedFile)
{
    if (SoundServer::sineSource().isNull())
        GTEST_SKIP() << "no sine source tw_sine (tools/run-tests.sh loads module-sine-source)";
    player.setInputDevice(SoundServer::sineSource());
    const QString path = dir.filePath(QStringLiteral("rec.wav"));
    writeWaveFile(path, PcmSound{8000, 1, {}}, 16);
    player.open(path);
    player.record();
    EXPECT_EQ(player.mode(), Mply::Mode::Recording);

    // A busy sound server may take a while to deliver the first samples; a second from those on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.recordedSeconds() > 0; }, 10000));
    QTest::qWait(1000);
    EXPECT_THROW(player.save(dir.filePath(QStringLiteral("other.wav"))), SoundFileError);
    player.stop();
    player.save(path);
    player.close();

    WaveCoding coding;
    const PcmSound got = readWaveFile(path, coding);
    EXPECT_EQ(coding.sampleRate, 8000);
    EXPECT_EQ(coding.channels, 1);
    EXPECT_EQ(coding.bitsPerSample, 16);
    EXPECT_GT(got.frames(), 8000 * 0.5);
    EXPECT_NEAR(SignalProbe::frequency(got.samples, 8000, 1), 440, 3);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.wav"))));
}

} // namespace
