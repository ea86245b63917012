#include "sound/WaveFile.h"

#include <QFile>
#include <QFileInfo>

#include "sound/SndfileIo.h"
#include "sound/SoundConverter.h"
#include "sound/WaveReader.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>

SoundFileError::SoundFileError(const QString& reason)
    : std::runtime_error(reason.toStdString())
    , m_reason(reason)
{}

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* sf) const { sf_close(sf); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

} // namespace

void SoundLimits::checkShape(int sampleRate, int channels)
{
    if (sampleRate < kMinRate || sampleRate > kMaxRate)
        throw SoundFileError(QStringLiteral("不支持的采样频率 %1Hz").arg(sampleRate));
    if (channels < 1 || channels > kMaxChannels)
        throw SoundFileError(QStringLiteral("不支持的声道数 %1").arg(channels));
}

PcmSound readWaveFile(const QString& path)
{
    WaveCoding coding;
    return readWaveFile(path, coding);
}

PcmSound readWaveFile(const QString& path, WaveCoding& coding)
{
    WaveReader reader(path);
    if (reader.frames() > SoundLimits::kMaxSamples / reader.channels())
        throw SoundFileError(QStringLiteral("声音文件太长"));
    coding = reader.coding();
    PcmSound sound;
    sound.sampleRate = reader.sampleRate();
    sound.channels = reader.channels();
    sound.samples.reserve(size_t(reader.frames()) * reader.channels());
    // Read as floats of -1..1 and convert ourselves: libsndfile's own float-to-integer scaling
    // would raise a quiet float file to full scale. The header's frame count may promise more
    // than the file holds, so read until the samples end.
    std::vector<float> chunk(size_t(4096) * reader.channels());
    std::vector<qint16> converted(chunk.size());
    while (qint64(sound.samples.size()) < reader.frames() * reader.channels()) {
        const qint64 got = reader.read(chunk.data(), 4096);
        if (got <= 0)
            break;
        const int count = int(got) * reader.channels();
        src_float_to_short_array(chunk.data(), converted.data(), count);
        sound.samples.insert(sound.samples.end(), converted.begin(), converted.begin() + count);
    }
    return sound;
}

PcmSound convertSound(const PcmSound& sound, int sampleRate, int channels)
{
    SoundLimits::checkShape(sampleRate, channels);
    if (sound.sampleRate == sampleRate && sound.channels == channels)
        return sound;
    SoundConverter converter(sound.sampleRate, sound.channels, sampleRate, channels);
    std::vector<float> in(sound.samples.size());
    src_short_to_float_array(sound.samples.data(), in.data(), int(in.size()));
    std::vector<float> converted;
    converter.convert(in.data(), sound.frames(), true, converted);
    PcmSound out;
    out.sampleRate = sampleRate;
    out.channels = channels;
    out.samples.resize(converted.size());
    src_float_to_short_array(converted.data(), out.samples.data(), int(converted.size()));
    return out;
}

void writeWaveFile(const QString& path, const PcmSound& sound, int bitsPerSample)
{
    SoundLimits::checkShape(sound.sampleRate, sound.channels);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(file.errorString()));
    SF_VIRTUAL_IO io = SndfileIo::callbacks();
    SF_INFO info{};
    info.samplerate = sound.sampleRate;
    info.channels = sound.channels;
    info.format = SF_FORMAT_WAV | (bitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SndfileHandle sf(sf_open_virtual(&io, SFM_WRITE, &info, &file));
    if (!sf)
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(QString::fromUtf8(sf_strerror(nullptr))));
    const sf_count_t frames = sound.frames();
    if (sf_writef_short(sf.get(), sound.samples.data(), frames) != frames)
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(QString::fromUtf8(sf_strerror(sf.get()))));
}

WaveWriter::WaveWriter(const QString& path, int sampleRate, int channels, int bitsPerSample)
    : m_file(path)
    , m_bytesPerFrame(channels * (bitsPerSample == 8 ? 1 : 2))
{
    SoundLimits::checkShape(sampleRate, channels);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(m_file.errorString()));
    SF_VIRTUAL_IO io = SndfileIo::callbacks();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (bitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    m_sf = sf_open_virtual(&io, SFM_WRITE, &info, &m_file);
    if (!m_sf)
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(QString::fromUtf8(sf_strerror(nullptr))));
    // A sample of full scale stays at full scale instead of wrapping round.
    sf_command(m_sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WaveWriter::~WaveWriter()
{
    if (m_sf)
        sf_close(m_sf);
}

void WaveWriter::write(const float* frames, qint64 count)
{
    if (!m_sf)
        throw SoundFileError(QStringLiteral("文件无法写入：已关闭"));
    if (sf_writef_float(m_sf, frames, count) != count)
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(QString::fromUtf8(sf_strerror(m_sf))));
    m_frames += count;
}

void WaveWriter::close()
{
    if (!m_sf)
        return;
    const int error = sf_close(std::exchange(m_sf, nullptr));
    m_file.close();
    if (error != 0 || m_file.error() != QFileDevice::NoError)
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(m_file.errorString()));
}
