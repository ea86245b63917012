#pragma once

#include "phone/LineProvider.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

// Plays a WAV file into the connected call: the file is read and converted to 8000 Hz mono once, then
// sent in chunks of three seconds (48000 bytes at 16 bits), one chunk queued at the line at a time.
// The end, finished or stopped, is reported once as play-done, followed by close.
class CallWavePlayer : public QObject {
    Q_OBJECT
public:
    enum Notice { PlayOpen, PlayDone, PlayClose };
    static constexpr int kChunkSamples = 24000;

    CallWavePlayer(LineProvider* provider, std::function<void(Notice)> notify, QObject* parent = nullptr);

    // Reads the file and starts; throws TapiError (ETapiWaveFail) when it cannot be fed into the call.
    void play(const QString& file);
    void stop();
    // 0 idle, 1 playing.
    int state() const { return m_playing ? 1 : 0; }
    const QString& fileName() const { return m_file; }
    int chunksWritten() const { return m_chunks; }

private:
    void writeChunk();
    void onDrained();
    void onEnded();

    LineProvider* m_provider;
    std::function<void(Notice)> m_notify;
    QString m_file;
    QVector<qint16> m_samples;
    qsizetype m_position = -1; // next sample to send; -1: nothing more to send
    bool m_playing = false;
    int m_chunks = 0;
};
