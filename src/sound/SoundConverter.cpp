#include "sound/SoundConverter.h"

#include "sound/WaveFile.h"

#include <samplerate.h>

#include <cmath>

SoundConverter::SoundConverter(int fromRate, int fromChannels, int toRate, int toChannels)
    : m_fromChannels(fromChannels)
    , m_toChannels(toChannels)
    , m_ratio(double(toRate) / qMax(1, fromRate))
{
    SoundLimits::checkShape(toRate, toChannels);
    SoundLimits::checkShape(fromRate, fromChannels);
    if (fromRate == toRate)
        return;
    int error = 0;
    m_resampler = src_new(SRC_SINC_MEDIUM_QUALITY, toChannels, &error);
    if (!m_resampler)
        throw SoundFileError(QStringLiteral("声音格式转换失败：%1").arg(QString::fromUtf8(src_strerror(error))));
}

SoundConverter::~SoundConverter()
{
    if (m_resampler)
        src_delete(m_resampler);
}

void SoundConverter::remix(const float* in, qint64 frames)
{
    m_mixed.resize(size_t(frames) * m_toChannels);
    const int from = m_fromChannels, to = m_toChannels;
    for (qint64 f = 0; f < frames; ++f) {
        const float* i = in + f * from;
        float* o = m_mixed.data() + f * to;
        if (to == 1 && from > 1) {
            float sum = 0;
            for (int c = 0; c < from; ++c)
                sum += i[c];
            o[0] = sum / float(from);
        } else {
            for (int c = 0; c < to; ++c)
                o[c] = i[from == 1 ? 0 : c % from];
        }
    }
}

void SoundConverter::convert(const float* in, qint64 frames, bool last, std::vector<float>& out)
{
    remix(in, frames);
    if (!m_resampler) {
        out.insert(out.end(), m_mixed.begin(), m_mixed.end());
        return;
    }
    SRC_DATA data{};
    data.data_in = m_mixed.data();
    data.input_frames = long(frames);
    data.src_ratio = m_ratio;
    data.end_of_input = last ? 1 : 0;
    // Until the input is used up and, at the end, until the resampler has nothing left.
    for (;;) {
        const long room = long(std::ceil(data.input_frames * m_ratio)) + 256;
        const size_t at = out.size();
        out.resize(at + size_t(room) * m_toChannels);
        data.data_out = out.data() + at;
        data.output_frames = room;
        if (const int error = src_process(m_resampler, &data))
            throw SoundFileError(QStringLiteral("声音格式转换失败：%1").arg(QString::fromUtf8(src_strerror(error))));
        out.resize(at + size_t(data.output_frames_gen) * m_toChannels);
        data.data_in += data.input_frames_used * m_toChannels;
        data.input_frames -= data.input_frames_used;
        const bool stuck = data.input_frames_used == 0 && data.output_frames_gen == 0;
        if (stuck || (data.input_frames == 0 && (!last || data.output_frames_gen == 0)))
            return;
    }
}
