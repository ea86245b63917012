#include "sound/WaveFile.h"

#include <QFile>
#include <QFileInfo>

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

// libsndfile reads and writes through a QFile, so paths are handled the way Qt handles them on
// every platform (wide names on Windows) and no second opening of the file can see other bytes.
sf_count_t fileLength(void* file)
{
    return static_cast<QFile*>(file)->size();
}

sf_count_t fileSeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<QFile*>(user);
    qint64 target = offset;
    if (whence == SEEK_CUR)
        target += file->pos();
    else if (whence == SEEK_END)
        target += file->size();
    if (target < 0 || !file->seek(target))
        return -1;
    return file->pos();
}

sf_count_t fileRead(void* data, sf_count_t count, void* file)
{
    const qint64 got = static_cast<QFile*>(file)->read(static_cast<char*>(data), count);
    return got < 0 ? 0 : got;
}

sf_count_t fileWrite(const void* data, sf_count_t count, void* file)
{
    const qint64 put = static_cast<QFile*>(file)->write(static_cast<const char*>(data), count);
    return put < 0 ? 0 : put;
}

sf_count_t fileTell(void* file)
{
    return static_cast<QFile*>(file)->pos();
}

SF_VIRTUAL_IO qfileIo()
{
    return SF_VIRTUAL_IO{fileLength, fileSeek, fileRead, fileWrite, fileTell};
}

struct SndfileCloser {
    void operator()(SNDFILE* sf) const { sf_close(sf); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

bool isRiffWave(int format)
{
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX;
}

void checkShape(int sampleRate, int channels)
{
    if (sampleRate < SoundLimits::kMinRate || sampleRate > SoundLimits::kMaxRate)
        throw SoundFileError(QStringLiteral("不支持的采样频率 %1Hz").arg(sampleRate));
    if (channels < 1 || channels > SoundLimits::kMaxChannels)
        throw SoundFileError(QStringLiteral("不支持的声道数 %1").arg(channels));
}

// Interleaved floats with the target channel count: mono sums to the mean, mono spreads to
// every channel, anything else maps channel by channel.
std::vector<float> remixToFloat(const PcmSound& sound, int channels)
{
    const qint64 frames = sound.frames();
    const int from = sound.channels;
    std::vector<float> out(size_t(frames) * channels);
    constexpr float kScale = 1.0f / 32768.0f;
    for (qint64 f = 0; f < frames; ++f) {
        const qint16* in = sound.samples.data() + f * from;
        float* o = out.data() + f * channels;
        if (channels == 1 && from > 1) {
            float sum = 0;
            for (int c = 0; c < from; ++c)
                sum += in[c];
            o[0] = sum / float(from) * kScale;
        } else {
            for (int c = 0; c < channels; ++c)
                o[c] = in[from == 1 ? 0 : c % from] * kScale;
        }
    }
    return out;
}

} // namespace

PcmSound readWaveFile(const QString& path)
{
    WaveCoding coding;
    return readWaveFile(path, coding);
}

PcmSound readWaveFile(const QString& path, WaveCoding& coding)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw SoundFileError(QStringLiteral("文件不存在"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SoundFileError(QStringLiteral("文件无法读取：%1").arg(file.errorString()));

    SF_VIRTUAL_IO io = qfileIo();
    SF_INFO info{};
    SndfileHandle sf(sf_open_virtual(&io, SFM_READ, &info, &file));
    if (!sf)
        throw SoundFileError(QStringLiteral("不是可播放的WAV声音文件"));
    if (!isRiffWave(info.format))
        throw SoundFileError(QStringLiteral("不是WAV声音文件"));
    checkShape(info.samplerate, info.channels);
    if (info.frames < 0 || info.frames > SoundLimits::kMaxSamples / info.channels)
        throw SoundFileError(QStringLiteral("声音文件太长"));

    const int subtype = info.format & SF_FORMAT_SUBMASK;
    coding = {info.samplerate, info.channels,
              subtype == SF_FORMAT_PCM_U8   ? 8
              : subtype == SF_FORMAT_PCM_16 ? 16
              : subtype == SF_FORMAT_PCM_24 ? 24
              : subtype == SF_FORMAT_PCM_32 ? 32
                                            : 0};
    PcmSound sound;
    sound.sampleRate = info.samplerate;
    sound.channels = info.channels;
    sound.samples.reserve(size_t(info.frames) * info.channels);
    // Read as floats of -1..1 and convert ourselves: libsndfile's own float-to-integer scaling
    // would raise a quiet float file to full scale. The header's frame count may promise more
    // than the file holds, so read until the samples end.
    std::vector<float> chunk(size_t(4096) * info.channels);
    std::vector<qint16> converted(chunk.size());
    while (qint64(sound.samples.size()) < info.frames * info.channels) {
        const sf_count_t got = sf_readf_float(sf.get(), chunk.data(), 4096);
        if (got <= 0)
            break;
        const int count = int(got) * info.channels;
        src_float_to_short_array(chunk.data(), converted.data(), count);
        sound.samples.insert(sound.samples.end(), converted.begin(), converted.begin() + count);
    }
    return sound;
}

PcmSound convertSound(const PcmSound& sound, int sampleRate, int channels)
{
    checkShape(sampleRate, channels);
    if (sound.sampleRate == sampleRate && sound.channels == channels)
        return sound;
    checkShape(sound.sampleRate, sound.channels);

    std::vector<float> mixed = remixToFloat(sound, channels);
    const qint64 frames = sound.frames();
    std::vector<float> resampled;
    if (sound.sampleRate != sampleRate && frames > 0) {
        const double ratio = double(sampleRate) / sound.sampleRate;
        resampled.resize(size_t(std::ceil(frames * ratio) + 16) * channels);
        SRC_DATA data{};
        data.data_in = mixed.data();
        data.input_frames = long(frames);
        data.data_out = resampled.data();
        data.output_frames = long(resampled.size() / channels);
        data.src_ratio = ratio;
        data.end_of_input = 1;
        if (const int err = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, channels))
            throw SoundFileError(QStringLiteral("声音格式转换失败：%1").arg(QString::fromUtf8(src_strerror(err))));
        resampled.resize(size_t(data.output_frames_gen) * channels);
    } else {
        resampled = std::move(mixed);
    }

    PcmSound out;
    out.sampleRate = sampleRate;
    out.channels = channels;
    out.samples.resize(resampled.size());
    src_float_to_short_array(resampled.data(), out.samples.data(), int(resampled.size()));
    return out;
}

void writeWaveFile(const QString& path, const PcmSound& sound, int bitsPerSample)
{
    checkShape(sound.sampleRate, sound.channels);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(file.errorString()));
    SF_VIRTUAL_IO io = qfileIo();
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
