#include "sound/SoundStream.h"

#include <samplerate.h>

#include <cstring>

namespace {
constexpr qint64 kBlockFrames = 4096;
}

SoundStream::SoundStream(std::unique_ptr<WaveReader> reader, const QAudioFormat& format, QObject* parent)
    : QIODevice(parent)
    , m_reader(std::move(reader))
    , m_format(format)
    , m_converter(m_reader->sampleRate(), m_reader->channels(), format.sampleRate(), format.channelCount())
    , m_block(size_t(kBlockFrames) * m_reader->channels())
{
    open(QIODevice::ReadOnly);
}

void SoundStream::refill()
{
    m_pending.clear();
    m_next = 0;
    m_converted.clear();
    qint64 got = 0;
    try {
        got = m_reader->read(m_block.data(), kBlockFrames);
        m_converter.convert(m_block.data(), got, got == 0, m_converted);
    } catch (const SoundFileError&) {
        // What cannot be converted ends the sound where it is.
        got = 0;
        m_converted.clear();
    }
    m_ended = got == 0;
    m_pending.resize(m_converted.size());
    src_float_to_short_array(m_converted.data(), m_pending.data(), int(m_converted.size()));
    m_soundFrames += qint64(m_pending.size()) / m_format.channelCount();
}

qint64 SoundStream::readData(char* data, qint64 maxSize)
{
    qint64 given = 0;
    while (given < maxSize) {
        if (m_next == m_pending.size()) {
            if (m_ended) {
                // The sound is over: silence for as long as the output asks.
                std::memset(data + given, 0, size_t(maxSize - given));
                return maxSize;
            }
            refill();
            continue;
        }
        const char* from = reinterpret_cast<const char*>(m_pending.data() + m_next) + m_partial;
        const qint64 left = qint64(m_pending.size() - m_next) * 2 - m_partial;
        const qint64 n = qMin(left, maxSize - given);
        std::memcpy(data + given, from, size_t(n));
        given += n;
        const qint64 bytes = m_partial + n;
        m_next += size_t(bytes / 2);
        m_partial = int(bytes % 2);
    }
    return given;
}
