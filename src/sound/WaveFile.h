#pragma once

#include <QString>

#include <stdexcept>
#include <vector>

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
// 16 Mi samples: over six minutes of 44.1 kHz stereo, far beyond any alarm sound.
constexpr qint64 kMaxSamples = 16 * 1024 * 1024;
} // namespace SoundLimits

// Reads a RIFF WAVE file of any coding (8/16/24/32-bit PCM, float, u-law, A-law, IMA/MS ADPCM,
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
