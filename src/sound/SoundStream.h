#pragma once

#include "sound/SoundConverter.h"
#include "sound/WaveReader.h"

#include <QAudioFormat>
#include <QIODevice>

#include <memory>
#include <vector>

// The samples of a WAV file as a sound output takes them: decoded and converted to the output's
// rate and channels in 16 bits, a block at a time, so that a sound of any length takes the same
// memory. After the last sample it gives silence, which keeps the output running until the sound
// has left it; soundEnded() and soundUSecs() tell where the sound stops.
class SoundStream : public QIODevice {
    Q_OBJECT
public:
    // The output format must be 16-bit; throws SoundFileError when no conversion reaches it.
    SoundStream(std::unique_ptr<WaveReader> reader, const QAudioFormat& format, QObject* parent = nullptr);

    bool isSequential() const override { return true; }
    bool soundEnded() const { return m_ended && m_next == m_pending.size(); }
    // The length of the sound in the output format.
    qint64 soundUSecs() const { return m_soundFrames * 1000000 / m_format.sampleRate(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void refill();

    std::unique_ptr<WaveReader> m_reader;
    QAudioFormat m_format;
    SoundConverter m_converter;
    std::vector<float> m_block;
    std::vector<float> m_converted;
    std::vector<qint16> m_pending;
    size_t m_next = 0; // the next sample of m_pending to give
    qint64 m_soundFrames = 0;
    int m_partial = 0; // bytes of the sample at m_next already given
    bool m_ended = false;
};
