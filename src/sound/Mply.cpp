#include "sound/Mply.h"

#include "sound/WaveReader.h"

#include <QAudioSource>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

#include <samplerate.h>

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
    close();
    // The header alone: the samples are read as they play.
    const WaveReader reader(path);
    m_coding = reader.coding();
    m_frames = reader.frames();
    m_path = path;
    m_open = true;
}

void Mply::play()
{
    if (!m_open)
        throw SoundFileError(QStringLiteral("没有打开的声音文件"));
    if (m_playing)
        finishPlay(Notify::Superseded);
    if (m_recording)
        stopRecording();
    const QAudioDevice device = output();
    if (device.isNull())
        throw SoundFileError(QStringLiteral("没有可用的声音输出设备"));
    const QAudioFormat format = formatFor(device, m_coding.sampleRate, m_coding.channels);
    if (!format.isValid())
        throw SoundFileError(QStringLiteral("声音设备不支持此声音格式"));

    const quint64 play = ++m_playId;
    m_playing = true;
    if (!m_output.start(device, format, std::make_unique<WaveReader>(m_path), play)) {
        m_playing = false;
        throw SoundFileError(QStringLiteral("声音输出设备无法打开"));
    }
    const qint64 durationMs = m_frames * 1000 / qMax(1, m_coding.sampleRate);
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

QString Mply::recordingPartPath() const
{
    const QFileInfo file(m_path);
    return file.dir().filePath(QStringLiteral(".") + file.fileName() + QStringLiteral(".part"));
}

void Mply::record()
{
    if (!m_open)
        throw SoundFileError(QStringLiteral("没有打开的声音文件"));
    if (m_playing)
        finishPlay(Notify::Aborted);
    dropRecording();
    const QAudioDevice device = input();
    if (device.isNull())
        throw SoundFileError(QStringLiteral("没有可用的录音设备"));
    m_inputFormat = formatFor(device, m_coding.sampleRate, m_coding.channels);
    if (!m_inputFormat.isValid())
        throw SoundFileError(QStringLiteral("录音设备不支持此声音格式"));
    m_recordConverter = std::make_unique<SoundConverter>(m_inputFormat.sampleRate(), m_inputFormat.channelCount(),
                                                         m_coding.sampleRate, m_coding.channels);
    m_recordWriter = std::make_unique<WaveWriter>(recordingPartPath(), m_coding.sampleRate, m_coding.channels,
                                                  m_coding.bitsPerSample == 8 ? 8 : 16);
    m_source = std::make_unique<QAudioSource>(device, m_inputFormat);
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
        dropRecording();
        throw SoundFileError(QStringLiteral("录音设备无法打开"));
    }
    connect(samples, &QIODevice::readyRead, this, &Mply::takeRecorded);
    m_recording = true;
    m_watch.start();
}

void Mply::takeRecorded()
{
    if (!m_sourceSamples)
        return;
    const QByteArray bytes = m_sourceSamples->readAll();
    writeRecorded(bytes.constData(), bytes.size(), false);
}

void Mply::writeRecorded(const char* bytes, qint64 size, bool last)
{
    if (!m_recordWriter)
        return;
    const qint64 samples = size / qint64(sizeof(qint16));
    const qint64 frames = samples / m_inputFormat.channelCount();
    m_recordBlock.resize(size_t(frames * m_inputFormat.channelCount()));
    src_short_to_float_array(reinterpret_cast<const short*>(bytes), m_recordBlock.data(), int(m_recordBlock.size()));
    m_recordConverted.clear();
    try {
        m_recordConverter->convert(m_recordBlock.data(), frames, last, m_recordConverted);
        // The WAV format's 32-bit sizes end a recording; what fits is kept.
        const qint64 bytesPerFrame = qint64(m_coding.channels) * (m_coding.bitsPerSample == 8 ? 1 : 2);
        const qint64 room = (SoundLimits::kMaxWaveDataBytes - m_recordWriter->dataBytes()) / bytesPerFrame;
        const qint64 converted = qint64(m_recordConverted.size()) / m_coding.channels;
        m_recordWriter->write(m_recordConverted.data(), qMin(room, converted));
        if (converted >= room && m_recording)
            stopRecording();
    } catch (const SoundFileError&) {
        // A full disk ends the recording; what was written is kept.
        if (m_recording)
            stopRecording();
    }
}

void Mply::stopRecording()
{
    m_recording = false;
    if (m_source) {
        QByteArray rest;
        // The samples that came in since the last delivery.
        if (m_sourceSamples)
            rest = m_sourceSamples->readAll();
        m_sourceSamples = nullptr;
        QAudioSource* source = m_source.release();
        source->disconnect(this);
        source->stop();
        source->deleteLater();
        writeRecorded(rest.constData(), rest.size(), true);
    }
    if (!m_playing)
        m_watch.stop();
}

void Mply::dropRecording()
{
    if (m_recording)
        stopRecording();
    if (!m_recordWriter)
        return;
    m_recordWriter.reset();
    m_recordConverter.reset();
    QFile::remove(recordingPartPath());
    m_inputFormat = {};
}

void Mply::watch()
{
    if (m_playing && QDeadlineTimer::current().deadline() > m_playDeadline)
        finishPlay(Notify::Failure);
}

double Mply::recordedSeconds() const
{
    if (!m_recordWriter)
        return 0;
    const int bytesPerFrame = m_coding.channels * (m_coding.bitsPerSample == 8 ? 1 : 2);
    return double(m_recordWriter->dataBytes()) / bytesPerFrame / m_coding.sampleRate;
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
    if (!m_open || !m_recordWriter || !sameFile(path, m_path))
        throw SoundFileError(QStringLiteral("没有此文件的录音"));
    if (m_recording)
        stopRecording();
    const QString part = recordingPartPath();
    try {
        m_recordWriter->close();
    } catch (const SoundFileError&) {
        dropRecording();
        throw;
    }
    m_recordWriter.reset();
    m_recordConverter.reset();
    // The finished recording takes the place of the header the recorder wrote.
    QFile::remove(m_path);
    if (!QFile::rename(part, m_path)) {
        QFile::remove(part);
        throw SoundFileError(QStringLiteral("文件无法写入：%1").arg(m_path));
    }
}

void Mply::close()
{
    if (m_recordWriter)
        Q_EMIT recordingInterrupted();
    stop();
    dropRecording();
    m_open = false;
    m_path.clear();
    m_coding = {};
    m_frames = 0;
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
