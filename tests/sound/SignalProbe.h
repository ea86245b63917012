#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <vector>

// Measures of a test signal in interleaved 16-bit samples, looking at one channel.
namespace SignalProbe {

inline std::vector<qint16> sine(int rate, int channels, double hz, double seconds, double amplitude = 0.5)
{
    const int frames = int(rate * seconds);
    std::vector<qint16> out(size_t(frames) * channels);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out[size_t(f) * channels + c] = qint16(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * f / rate)));
    return out;
}

// Power of one frequency in one channel (Goertzel over a Hann window), per sample.
inline double power(const std::vector<qint16>& samples, int rate, int channels, int channel, double hz)
{
    const long frames = long(samples.size()) / channels;
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double s1 = 0, s2 = 0;
    for (long f = 0; f < frames; ++f) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * f / std::max(1L, frames - 1));
        const double s0 = w * samples[f * channels + channel] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / std::max(1L, frames);
}

// The strongest frequency between 50 Hz and 4 kHz, to within 1 Hz: a 10 Hz grid, then refined.
inline double frequency(const std::vector<qint16>& samples, int rate, int channels, int channel = 0)
{
    auto best = [&](double from, double to, double step) {
        double top = from, topPower = -1;
        for (double hz = from; hz <= to && hz < rate / 2.0; hz += step) {
            const double p = power(samples, rate, channels, channel, hz);
            if (p > topPower) {
                topPower = p;
                top = hz;
            }
        }
        return top;
    };
    const double coarse = best(50, 4000, 10);
    return best(coarse - 10, coarse + 10, 1);
}

inline double rms(const std::vector<qint16>& samples)
{
    if (samples.empty())
        return 0;
    double sum = 0;
    for (qint16 s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / samples.size());
}

} // namespace SignalProbe
