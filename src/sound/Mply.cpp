#include "sound/Mply.h"

#include <QAudioSource>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMediaDevices>

#include <cstring>

namespace {

QAudioFormat int16Format(int rate, int channels)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// The file's format if the device takes it, else the device's own rate and channels.
QAudioFormat formatFor(const QAudioDevice& device, int rate, int channels)
{
    const QAudioFormat wanted = int16Format(rate, channels);
    if (device.isFormatSupported(wanted))
        return wanted;
    const QAudioFormat preferred = device.preferredFormat();
    const QAudioFormat fallback = int16Format(preferred.sampleRate(), preferred.channelCount());
    if (device.isFormatSupported(fallback))
        return fallback;
    return {};
}

bool sameFile(const QString& a, const QString& b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// A play that has not ended this long after its sound should have has lost its sound server.
// A sound server may report the end up to a couple of seconds late (a null sink works in blocks
// of two seconds).
constexpr qint64 kPlaySlackMs = 5000;

} // namespace

Mply::Mply(QObject* parent)
    : QObject(parent)
{
    m_watch.setInterval(250);
    connect(&m_output, &SoundOutput::ended, this, [this](quint64 play, bool successful) {
        if (m_playing && m_playId == play)
            finishPlay(successful ? Notify::Successful : Notify::Failure);
    });
    connect(&m_watch, &QTimer::timeout, this, &Mply::watch);
}

Mply::~Mply()
{
    // No notice goes out of a player that is being destroyed.
    blockSignals(true);
    close();
}

QAudioDevice Mply::output() const
{
    return m_outputDevice.isNull() ? QMediaDevices::defaultAudioOutput() : m_outputDevice;
}

QAudioDevice Mply::input() const
{
    return m_inputDevice.isNull() ? QMediaDevices::defaultAudioInput() : m_inputDevice;
}

void Mply::open(const QString& path)
{
    if (m_recording)
        Q_EMIT recordingInterrupted();
    close();
    WaveCoding coding;
    PcmSound sound = readWaveFile(path, coding);
    m_sound = std::move(sound);
    m_coding = coding;
    m_path = path;
    m_open = true;
}

void Mply::prepareOutput()
{
    const QAudioDevice device = output();
    if (device.isNull())
        throw SoundFileError(QStringLiteral("没有可用的声音输出设备"));
    if (m_outputFormat.isValid()) // converted on an earlier play of this file
        return;
    const QAudioFormat format = formatFor(device, m_sound.sampleRate, m_sound.channels);
    if (!format.isValid())
        throw SoundFileError(QStringLiteral("声音设备不支持此声音格式"));
    const PcmSound converted = convertSound(m_sound, format.sampleRate(), format.channelCount());
    m_pcm = QByteArray(reinterpret_cast<const char*>(converted.samples.data()),
                       qsizetype(converted.samples.size() * sizeof(qint16)));
    m_outputFormat = format;
}

void Mply::play()
{
    if (!m_open)
        throw SoundFileError(QStringLiteral("没有打开的声音文件"));
    if (m_playing)
        finishPlay(Notify::Superseded);
    if (m_recording)
        stopRecording();
    prepareOutput();

    const quint64 play = ++m_playId;
    m_playing = true;
    if (!m_output.start(output(), m_outputFormat, m_pcm, play)) {
        m_playing = false;
        throw SoundFileError(QStringLiteral("声音输出设备无法打开"));
    }
    const qint64 durationMs =
        qint64(m_pcm.size()) * 1000 / qMax(1, m_outputFormat.bytesPerFrame()) / qMax(1, m_outputFormat.sampleRate());
    m_playDeadline = QDeadlineTimer::current().deadline() + durationMs + kPlaySlackMs;
    m_watch.start();
}

void Mply::finishPlay(Notify code)
{
    m_playing = false;
    m_output.stop();
    if (!m_recording)
        m_watch.stop();
    Q_EMIT notify(code);
}

void Mply::record()
{
    if (!m_open)
        throw SoundFileError(QStringLiteral("没有打开的声音文件"));
    if (m_playing)
        finishPlay(Notify::Aborted);
    const QAudioDevice device = input();
    if (device.isNull())
        throw SoundFileError(QStringLiteral("没有可用的录音设备"));
    m_inputFormat = formatFor(device, m_coding.sampleRate, m_coding.channels);
    if (!m_inputFormat.isValid())
        throw SoundFileError(QStringLiteral("录音设备不支持此声音格式"));
    m_source = std::make_unique<QAudioSource>(device, m_inputFormat);
    m_recorded.clear();
    connect(m_source.get(), &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        // A sound server that went away ends the recording; what came in is kept.
        if (m_recording && state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError)
            stopRecording();
    });
    // Pushed samples: Qt's PulseAudio source does not write into a device given to it.
    QIODevice* samples = m_source->start();
    m_sourceSamples = samples;
    if (!samples || m_source->error() != QAudio::NoError || m_source->state() == QAudio::StoppedState) {
        m_source.reset();
        m_sourceSamples = nullptr;
        throw SoundFileError(QStringLiteral("录音设备无法打开"));
    }
    connect(samples, &QIODevice::readyRead, this, [this, samples] { m_recorded += samples->readAll(); });
    m_recording = true;
    m_hasRecording = true;
    m_watch.start();
}

void Mply::stopRecording()
{
    m_recording = false;
    if (m_source) {
        // The samples that came in since the last delivery.
        if (m_sourceSamples)
            m_recorded += m_sourceSamples->readAll();
        m_sourceSamples = nullptr;
        QAudioSource* source = m_source.release();
        source->disconnect(this);
        source->stop();
        source->deleteLater();
    }
    if (!m_playing)
        m_watch.stop();
}

void Mply::watch()
{
    if (m_playing && QDeadlineTimer::current().deadline() > m_playDeadline)
        finishPlay(Notify::Failure);
    // There is no time limit on a recording, but memory is not endless: a recording stops, kept,
    // where a longer file would no longer be read as an alarm sound.
    if (m_recording && m_recorded.size() / qint64(sizeof(qint16)) >= SoundLimits::kMaxSamples)
        stopRecording();
}

double Mply::recordedSeconds() const
{
    if (!m_inputFormat.isValid())
        return 0;
    return double(m_recorded.size()) / m_inputFormat.bytesPerFrame() / m_inputFormat.sampleRate();
}

void Mply::stop()
{
    if (m_playing)
        finishPlay(Notify::Aborted);
    if (m_recording)
        stopRecording();
}

void Mply::save(const QString& path)
{
    if (!m_open || !m_hasRecording || !sameFile(path, m_path))
        throw SoundFileError(QStringLiteral("没有此文件的录音"));
    if (m_recording)
        stopRecording();
    PcmSound sound;
    sound.sampleRate = m_inputFormat.sampleRate();
    sound.channels = m_inputFormat.channelCount();
    const qsizetype count = m_recorded.size() / qsizetype(sizeof(qint16));
    sound.samples.resize(size_t(count - count % sound.channels));
    std::memcpy(sound.samples.data(), m_recorded.constData(), sound.samples.size() * sizeof(qint16));
    const PcmSound stored = convertSound(sound, m_coding.sampleRate, m_coding.channels);
    writeWaveFile(m_path, stored, m_coding.bitsPerSample == 8 ? 8 : 16);
}

void Mply::close()
{
    stop();
    m_open = false;
    m_hasRecording = false;
    m_path.clear();
    m_sound = {};
    m_pcm.clear();
    m_outputFormat = {};
    m_recorded.clear();
    m_inputFormat = {};
}

Mply::Mode Mply::mode() const
{
    if (!m_open)
        return Mode::NotOpen;
    if (m_playing)
        return Mode::Playing;
    if (m_recording)
        return Mode::Recording;
    return Mode::Stopped;
}
