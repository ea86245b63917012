#pragma once

#include <QtGlobal>

#include <vector>

struct SRC_STATE_tag;

// Changes the channel count and the rate (libsamplerate) of interleaved float frames, block by
// block, so that a sound of any length is converted in the same memory: channels mix down to their
// mean, mono spreads to every channel, anything else maps channel by channel.
class SoundConverter {
public:
    // Throws SoundFileError for a shape outside SoundLimits.
    SoundConverter(int fromRate, int fromChannels, int toRate, int toChannels);
    ~SoundConverter();
    SoundConverter(const SoundConverter&) = delete;
    SoundConverter& operator=(const SoundConverter&) = delete;

    // Appends the converted frames to out. With last set the resampler gives what it still holds;
    // nothing may follow.
    void convert(const float* in, qint64 frames, bool last, std::vector<float>& out);

private:
    void remix(const float* in, qint64 frames);

    int m_fromChannels, m_toChannels;
    double m_ratio;
    SRC_STATE_tag* m_resampler = nullptr;
    std::vector<float> m_mixed;
};
