#pragma once

#include <QFile>
#include <QString>

#include <stdexcept>
#include <vector>

struct sf_private_tag;

// A sound as interleaved signed 16-bit samples.
struct PcmSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<qint16> samples;
    qint64 frames() const { return channels > 0 ? qint64(samples.size()) / channels : 0; }
};

// A file that cannot be read as a sound; reason() is a short text for the operator.
class SoundFileError : public std::runtime_error {
public:
    explicit SoundFileError(const QString& reason);
    QString reason() const { return m_reason; }

private:
    QString m_reason;
};

// The limits within which a file counts as an alarm sound. Anything outside is refused before
// a sample is allocated, so a damaged header cannot make the monitor reserve gigabytes.
namespace SoundLimits {
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr int kMaxChannels = 8;
// 16 Mi samples, over six minutes of 44.1 kHz stereo: the most a whole-file read holds in memory.
// Played and recorded sounds stream and know no such limit.
constexpr qint64 kMaxSamples = 16 * 1024 * 1024;
// What the 32-bit sizes of a WAV file leave for its samples.
constexpr qint64 kMaxWaveDataBytes = 0xFFFFFFFFLL - 1024;
// Throws SoundFileError for a rate or a channel count outside these limits.
void checkShape(int sampleRate, int channels);
} // namespace SoundLimits

// Reads a whole RIFF WAVE file of any coding (8/16/24/32-bit PCM, float, u-law, A-law, IMA/MS ADPCM,
// GSM 6.10, any rate, mono or stereo) through libsndfile; anything else, a missing or unreadable
// file, throws SoundFileError.
PcmSound readWaveFile(const QString& path);

// The file's own coding as far as a recorder must keep it: bits per sample of its PCM samples
// (0 for codings that are not plain PCM).
struct WaveCoding {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
};
// As readWaveFile, and tells the file's coding.
PcmSound readWaveFile(const QString& path, WaveCoding& coding);

// Mixes down or duplicates channels and resamples (libsamplerate) to the given rate and channel
// count. Throws SoundFileError for a target outside SoundLimits.
PcmSound convertSound(const PcmSound& sound, int sampleRate, int channels);

// Writes the sound as a PCM WAV file of 8 or 16 bits per sample, replacing the file; throws
// SoundFileError when it cannot be written.
void writeWaveFile(const QString& path, const PcmSound& sound, int bitsPerSample);

// Writes a PCM WAV file of 8 or 16 bits per sample block by block, replacing the file; its header
// holds the right sizes once it is closed. Every failure throws SoundFileError.
class WaveWriter {
public:
    WaveWriter(const QString& path, int sampleRate, int channels, int bitsPerSample);
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Interleaved frames of floats of -1..1.
    void write(const float* frames, qint64 count);
    void close();
    qint64 dataBytes() const { return m_frames * m_bytesPerFrame; }

private:
    QFile m_file;
    sf_private_tag* m_sf = nullptr;
    int m_bytesPerFrame = 0;
    qint64 m_frames = 0;
};
