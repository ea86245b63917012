#include "phone/CallWavePlayer.h"

#include "phone/TapiError.h"
#include "sound/WaveFile.h"

CallWavePlayer::CallWavePlayer(LineProvider* provider, std::function<void(Notice)> notify, QObject* parent)
    : QObject(parent)
    , m_provider(provider)
    , m_notify(std::move(notify))
{
    if (!m_provider)
        return;
    connect(m_provider, &LineProvider::audioOpened, this, [this] {
        if (!m_playing)
            return;
        m_notify(PlayOpen);
        writeChunk();
    });
    connect(m_provider, &LineProvider::audioDrained, this, &CallWavePlayer::onDrained);
    connect(m_provider, &LineProvider::audioEnded, this, &CallWavePlayer::onEnded);
}

void CallWavePlayer::play(const QString& file)
{
    m_file = file;
    PcmSound sound;
    try {
        sound = convertSound(readWaveFile(file), 8000, 1);
    } catch (const SoundFileError& error) {
        throw TapiErrors::make(TapiErrors::kWaveFail, QStringLiteral("%1: %2").arg(file, error.reason()));
    }
    if (sound.samples.empty())
        throw TapiErrors::make(TapiErrors::kWaveFail, QStringLiteral("%1: the file holds no sound").arg(file));
    m_samples = QVector<qint16>(sound.samples.begin(), sound.samples.end());
    m_position = 0;
    m_chunks = 0;
    m_playing = true;
    m_provider->beginAudio();
}

void CallWavePlayer::writeChunk()
{
    const qsizetype length = std::min<qsizetype>(kChunkSamples, m_samples.size() - m_position);
    m_provider->writeAudio(m_samples.mid(m_position, length));
    ++m_chunks;
    m_position += length;
    if (m_position >= m_samples.size())
        m_position = -1;
}

void CallWavePlayer::onDrained()
{
    if (!m_playing)
        return;
    if (m_position == -1)
        m_provider->endAudio();
    else
        writeChunk();
}

void CallWavePlayer::stop()
{
    if (!m_playing)
        return;
    m_position = -1;
    m_provider->abortAudio();
}

void CallWavePlayer::onEnded()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_position = -1;
    m_samples = {};
    m_notify(PlayDone);
    m_notify(PlayClose);
}
