#include "sound/WaveFile.h"
#include "SignalProbe.h"
#include "sound/WaveReader.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

// Writes a 440 Hz tone through libsndfile in the given coding.
void writeTone(const QString& path, int format, int rate, int channels)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    // Floats of -1..1, as a float file holds them.
    const auto tone = SignalProbe::sine(rate, channels, 440, 0.5);
    std::vector<float> samples(tone.begin(), tone.end());
    for (float& s : samples)
        s /= 32768.0f;
    sf_writef_float(sf, samples.data(), sf_count_t(samples.size() / channels));
    sf_close(sf);
}

// A canonical RIFF header with every field under the test's control.
QByteArray riffHeader(int channels, quint32 rate, int bits, quint32 dataBytes, quint32 fmtSize = 16)
{
    QByteArray h;
    auto u32 = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto u16 = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    h.append("RIFF");
    u32(4 + 8 + fmtSize + 8 + dataBytes);
    h.append("WAVEfmt ");
    u32(fmtSize);
    u16(1);
    u16(quint16(channels));
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(quint16(channels * bits / 8));
    u16(quint16(bits));
    h.append(QByteArray(qMax<int>(0, int(fmtSize) - 16), '\0'));
    if (fmtSize < 16)
        h.truncate(20 + int(fmtSize));
    h.append("data");
    u32(dataBytes);
    return h;
}

class WaveFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes, const char* name = "t.wav")
    {
        QFile f(m_dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QTemporaryDir m_dir;
};

TEST_F(WaveFileTest, ReadsEveryCodingAlarmRecordingsUse)
{
    struct Case {
        const char* name;
        int subtype, rate, channels;
    } cases[] = {
        {"pcm8", SF_FORMAT_PCM_U8, 11025, 1},      {"pcm16", SF_FORMAT_PCM_16, 44100, 2},
        {"pcm24", SF_FORMAT_PCM_24, 48000, 1},     {"pcm32", SF_FORMAT_PCM_32, 22050, 2},
        {"float", SF_FORMAT_FLOAT, 8000, 1},       {"ulaw", SF_FORMAT_ULAW, 8000, 1},
        {"alaw", SF_FORMAT_ALAW, 8000, 2},         {"ima", SF_FORMAT_IMA_ADPCM, 22050, 1},
        {"msadpcm", SF_FORMAT_MS_ADPCM, 11025, 2}, {"gsm", SF_FORMAT_GSM610, 8000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".wav"));
        writeTone(path, SF_FORMAT_WAV | c.subtype, c.rate, c.channels);
        const PcmSound s = readWaveFile(path);
        EXPECT_EQ(s.sampleRate, c.rate);
        EXPECT_EQ(s.channels, c.channels);
        // Block codings pad the last block.
        EXPECT_GE(s.frames(), c.rate / 2);
        EXPECT_LE(s.frames(), c.rate / 2 + 2048);
        EXPECT_NEAR(SignalProbe::frequency(s.samples, s.sampleRate, s.channels), 440, 5);
        EXPECT_NEAR(SignalProbe::rms(s.samples), 0.5 * 32767 / std::sqrt(2.0), 2000);
    }
}

TEST_F(WaveFileTest, RefusesWhatIsNoPlayableWave)
{
    const QByteArray tone(2000, '\x10');
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"not a wave", QByteArray("This is a text file, not a sound.\r\n").repeated(20)},
        {"truncated header", riffHeader(1, 8000, 16, 2000).left(30)},
        {"fmt chunk too short", riffHeader(1, 8000, 16, 2000, 14) + tone},
        {"zero channels", riffHeader(0, 8000, 16, 2000) + tone},
        {"rate 0", riffHeader(1, 0, 16, 2000) + tone},
        {"rate 10 MHz", riffHeader(1, 10'000'000, 16, 2000) + tone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(c.bytes);
        try {
            readWaveFile(path);
            ADD_FAILURE() << "read without error";
        } catch (const SoundFileError& e) {
            EXPECT_FALSE(e.reason().isEmpty());
        }
    }
    EXPECT_THROW(readWaveFile(m_dir.filePath(QStringLiteral("missing.wav"))), SoundFileError);
    EXPECT_THROW(readWaveFile(m_dir.path()), SoundFileError);
}

TEST_F(WaveFileTest, ReadsOnlyTheSamplesTheFileHolds)
{
    // A data chunk that claims a megabyte, with 100 samples behind it; and an even fmt chunk of 18.
    const QByteArray samples(200, '\x01');
    const PcmSound big = readWaveFile(write(riffHeader(1, 8000, 16, 1'000'000) + samples, "big.wav"));
    EXPECT_LE(big.frames(), 100);
    const PcmSound wide = readWaveFile(write(riffHeader(2, 8000, 16, 200, 18) + samples, "wide.wav"));
    EXPECT_EQ(wide.frames(), 50);
}

TEST_F(WaveFileTest, RefusesAHundredMegabytesOfSamples)
{
    const quint32 bytes = 100u * 1024 * 1024;
    const QString path = write(riffHeader(1, 44100, 16, bytes), "huge.wav");
    QFile f(path);
    ASSERT_TRUE(f.resize(44 + qint64(bytes)));
    EXPECT_THROW(readWaveFile(path), SoundFileError);
}

QByteArray chunk(const char* id, const QByteArray& body, quint32 claimed = 0)
{
    char size[4];
    qToLittleEndian(claimed ? claimed : quint32(body.size()), size);
    return QByteArray(id, 4) + QByteArray(size, 4) + body + (body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

QByteArray riff(const QByteArray& chunks)
{
    return chunk("RIFF", "WAVE" + chunks).left(8 + 4 + chunks.size());
}

TEST(RiffLayout, EveryChunkButTheSamplesLiesInsideTheFile)
{
    const QByteArray fmt = riffHeader(1, 8000, 16, 0).mid(12, 24);
    const QByteArray samples(100, '\x01');
    struct Case {
        const char* name;
        QByteArray bytes;
        bool fits;
    } cases[] = {
        {"canonical", riff(fmt + chunk("data", samples)), true},
        {"samples cut short", riff(fmt + chunk("data", samples, 4000)).left(12 + 24 + 8 + 100), true},
        {"odd LIST with its pad byte after the samples", riff(fmt + chunk("data", samples) + chunk("LIST", "INFOx")),
         true},
        {"LIST before the format", riff(chunk("LIST", "INFO") + fmt + chunk("data", samples)), true},
        {"the fuzzer's LIST past the end",
         QByteArray::fromHex("52494646b2000000574156454c495354210500ca205c48ff") + QByteArray(24, '\xff') +
             QByteArray::fromHex("efffffff"),
         false},
        {"LIST past the end after the samples", riff(fmt + chunk("data", samples) + chunk("LIST", "INFO", 9000)),
         false},
        {"format cut short", riff(fmt).left(30), false},
        {"no samples", riff(fmt), false},
        {"samples before the format", riff(chunk("data", samples) + fmt), false},
        {"not RIFF", "RIFX" + riff(fmt + chunk("data", samples)).mid(4), false},
        {"not WAVE", riff(fmt + chunk("data", samples)).replace("WAVE", "AVI "), false},
        {"eleven bytes", "RIFF\x04\0\0\0WAV", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        const std::optional<QString> fault = riffLayoutFault(buffer);
        EXPECT_EQ(!fault.has_value(), c.fits) << (fault ? fault->toStdString() : std::string());
        if (!c.fits) {
            auto device = std::make_unique<QBuffer>(&bytes);
            ASSERT_TRUE(device->open(QIODevice::ReadOnly));
            EXPECT_THROW(WaveReader{std::move(device)}, SoundFileError);
        }
    }
}

TEST(ConvertSound, MixesAndResamplesKeepingTheTone)
{
    PcmSound stereo{44100, 2, SignalProbe::sine(44100, 2, 440, 1.0)};
    const PcmSound modem = convertSound(stereo, 8000, 1);
    EXPECT_EQ(modem.sampleRate, 8000);
    EXPECT_EQ(modem.channels, 1);
    EXPECT_NEAR(double(modem.frames()), 8000, 10);
    EXPECT_NEAR(SignalProbe::frequency(modem.samples, 8000, 1), 440, 3);
    EXPECT_NEAR(SignalProbe::rms(modem.samples), SignalProbe::rms(stereo.samples), 300);

    const PcmSound back = convertSound(modem, 48000, 2);
    EXPECT_EQ(back.channels, 2);
    EXPECT_NEAR(double(back.frames()), 48000, 60);
    EXPECT_NEAR(SignalProbe::frequency(back.samples, 48000, 2, 1), 440, 3);

    EXPECT_THROW(convertSound(modem, 0, 1), SoundFileError);
    EXPECT_THROW(convertSound(modem, 8000, 0), SoundFileError);
    EXPECT_THROW(convertSound(PcmSound{0, 1, {1, 2}}, 8000, 1), SoundFileError);
}

// A sound for a call carries the whole telephone band (a cheaper resampler loses 9 dB at 3.4 kHz)
// and keeps out what lies above the line's 4 kHz, which would come back mirrored into it.
TEST(ConvertSound, ForTheLineKeepsTheTelephoneBandAndNoMirrors)
{
    const struct {
        double hz;
        bool kept;
    } tones[]{{300, true}, {3000, true}, {3400, true}, {5000, false}};
    for (const auto& tone : tones) {
        SCOPED_TRACE(tone.hz);
        const PcmSound cd{44100, 2, SignalProbe::sine(44100, 2, tone.hz, 1.0)};
        const PcmSound line = convertSound(cd, 8000, 1);
        EXPECT_NEAR(double(line.frames()), 8000, 10);
        const double level = SignalProbe::rms(line.samples) / SignalProbe::rms(cd.samples);
        if (tone.kept) {
            EXPECT_NEAR(SignalProbe::frequency(line.samples, 8000, 1), tone.hz, 3);
            EXPECT_NEAR(level, 1.0, 0.05);
        } else {
            EXPECT_LT(level, 0.01) << "mirrored to " << SignalProbe::frequency(line.samples, 8000, 1) << " Hz";
        }
    }
}

TEST_F(WaveFileTest, WritesWhatItReadsBack)
{
    const PcmSound tone{8000, 1, SignalProbe::sine(8000, 1, 440, 0.25)};
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        const QString path = m_dir.filePath(QStringLiteral("w%1.wav").arg(bits));
        writeWaveFile(path, tone, bits);
        const PcmSound back = readWaveFile(path);
        EXPECT_EQ(back.frames(), tone.frames());
        EXPECT_NEAR(SignalProbe::frequency(back.samples, 8000, 1), 440, 3);
    }
    EXPECT_THROW(writeWaveFile(m_dir.filePath(QStringLiteral("no/such/dir/x.wav")), tone, 16), SoundFileError);
}

} // namespace
