#include "sound/SoundOutput.h"

#include "sound/SoundStream.h"

#include <QAudioSink>
#include <QTimer>

namespace {
// How often the end of a sound is looked for, and how long after its last sample the output keeps
// running: stopping a sink drops what the sound server still holds of it.
constexpr int kEndPollMs = 10;
constexpr qint64 kTailUSecs = 20000;
} // namespace

// Lives in the output thread; everything it does runs there.
class SoundOutputWorker : public QObject {
    Q_OBJECT
public:
    SoundOutputWorker()
        : m_poll(this)
    {
        m_poll.setInterval(kEndPollMs);
        connect(&m_poll, &QTimer::timeout, this, &SoundOutputWorker::poll);
    }

    bool start(const QAudioDevice& device, const QAudioFormat& format, std::unique_ptr<WaveReader> reader, quint64 play)
    {
        stop();
        m_sink = std::make_unique<QAudioSink>(device, format);
        // The stream is released with its sink.
        try {
            m_stream = new SoundStream(std::move(reader), format, m_sink.get());
        } catch (const SoundFileError&) {
            m_sink.reset();
            return false;
        }
        m_play = play;
        QAudioSink* sink = m_sink.get();
        connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
            if (state == QAudio::StoppedState && sink->error() != QAudio::NoError)
                // Not inside the sink's own signal: a sink stopped there stalls Qt's PulseAudio stream.
                QTimer::singleShot(0, this, [this, sink] { end(sink, false); });
        });
        m_sink->start(m_stream);
        if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
            m_sink.reset();
            return false;
        }
        m_poll.start();
        return true;
    }

    void stop()
    {
        m_poll.stop();
        if (!m_sink)
            return;
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }

Q_SIGNALS:
    void ended(quint64 play, bool successful);

private:
    // The sink's clock counts what it has played; the sound has been heard once that clock has
    // passed its last sample.
    void poll()
    {
        if (m_sink && m_stream->soundEnded() && m_sink->processedUSecs() >= m_stream->soundUSecs() + kTailUSecs)
            end(m_sink.get(), true);
    }

    void end(QAudioSink* sink, bool successful)
    {
        if (m_sink.get() != sink)
            return;
        stop();
        Q_EMIT ended(m_play, successful);
    }

    std::unique_ptr<QAudioSink> m_sink;
    SoundStream* m_stream = nullptr; // owned by m_sink
    quint64 m_play = 0;
    QTimer m_poll;
};

SoundOutput::SoundOutput()
    : m_worker(new SoundOutputWorker)
{
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SoundOutputWorker::ended, this, &SoundOutput::ended, Qt::QueuedConnection);
    m_thread.setObjectName(QStringLiteral("sound output"));
    m_thread.start();
}

SoundOutput::~SoundOutput()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

bool SoundOutput::start(const QAudioDevice& device, const QAudioFormat& format, std::unique_ptr<WaveReader> reader,
                        quint64 play)
{
    bool started = false;
    QMetaObject::invokeMethod(
        m_worker, [&] { started = m_worker->start(device, format, std::move(reader), play); },
        Qt::BlockingQueuedConnection);
    return started;
}

void SoundOutput::stop()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->stop(); }, Qt::BlockingQueuedConnection);
}

#include "SoundOutput.moc"
