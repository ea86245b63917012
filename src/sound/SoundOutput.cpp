#include "sound/SoundOutput.h"

#include <QAudioSink>
#include <QBuffer>
#include <QTimer>

#include <memory>

// Lives in the output thread; everything it does runs there.
class SoundOutputWorker : public QObject {
    Q_OBJECT
public:
    bool start(const QAudioDevice& device, const QAudioFormat& format, const QByteArray& pcm, quint64 play)
    {
        stop();
        m_sink = std::make_unique<QAudioSink>(device, format);
        // Each play reads from a buffer of its own, released with its sink.
        auto* buffer = new QBuffer(m_sink.get());
        buffer->setData(pcm);
        buffer->open(QIODevice::ReadOnly);
        QAudioSink* sink = m_sink.get();
        connect(sink, &QAudioSink::stateChanged, this, [this, sink, buffer, play](QAudio::State state) {
            const bool done = state == QAudio::IdleState && buffer->atEnd();
            const bool failed = state == QAudio::StoppedState && sink->error() != QAudio::NoError;
            if (!done && !failed)
                return;
            sink->disconnect(this);
            Q_EMIT ended(play, done);
            // Not inside the sink's own signal: a sink stopped there stalls Qt's PulseAudio stream.
            QTimer::singleShot(0, this, [this, sink] {
                if (m_sink.get() == sink)
                    stop();
            });
        });
        m_sink->start(buffer);
        if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
            m_sink.reset();
            return false;
        }
        return true;
    }

    void stop()
    {
        if (!m_sink)
            return;
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }

Q_SIGNALS:
    void ended(quint64 play, bool successful);

private:
    std::unique_ptr<QAudioSink> m_sink;
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

bool SoundOutput::start(const QAudioDevice& device, const QAudioFormat& format, const QByteArray& pcm, quint64 play)
{
    bool started = false;
    QMetaObject::invokeMethod(
        m_worker, [&] { started = m_worker->start(device, format, pcm, play); }, Qt::BlockingQueuedConnection);
    return started;
}

void SoundOutput::stop()
{
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->stop(); }, Qt::BlockingQueuedConnection);
}

#include "SoundOutput.moc"
