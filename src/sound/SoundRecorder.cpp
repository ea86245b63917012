#include "sound/SoundRecorder.h"

#include "platform/CodePage.h"
#include "sound/Mply.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

RecordingFormat RecordingFormat::fromChoices(int channelsIndex, int resolutionIndex, int rateIndex)
{
    static constexpr int kRates[] = {8000, 11025, 22050, 44100};
    RecordingFormat format;
    format.channels = channelsIndex == 1 ? 2 : 1;
    format.bitsPerSample = resolutionIndex == 1 ? 16 : 8;
    format.samplesPerSecond = rateIndex >= 0 && rateIndex < 4 ? kRates[rateIndex] : 11025;
    return format;
}

QByteArray recordingHeader(const RecordingFormat& format)
{
    QByteArray header(44, '\0');
    char* h = header.data();
    const int bytesPerSample = format.bitsPerSample / 8;
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36, h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(quint16(format.channels), h + 22);
    qToLittleEndian<quint32>(quint32(format.samplesPerSecond), h + 24);
    qToLittleEndian<quint32>(quint32(format.channels * format.samplesPerSecond * bytesPerSample), h + 28);
    qToLittleEndian<quint16>(quint16(format.channels * bytesPerSample), h + 32);
    qToLittleEndian<quint16>(quint16(format.bitsPerSample), h + 34);
    memcpy(h + 36, "data", 4);
    return header;
}

SoundRecorder::SoundRecorder(Mply& player, QString dataDir)
    : m_player(player)
    , m_dataDir(std::move(dataDir))
{
    connect(&m_player, &Mply::recordingInterrupted, this, &SoundRecorder::onPlayerTakenOver);
}

SoundRecorder::~SoundRecorder()
{
    if (!isRecording())
        return;
    try {
        stopAndSave();
    } catch (const SoundFileError&) {
        // Nobody is left to tell.
    }
}

bool SoundRecorder::isPlainName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(u'/') || name.contains(u'\\') || name.contains(u':') || name.contains(QChar(0)))
        return false;
    return CodePage::fromGbk(CodePage::toGbk(name)) == name;
}

QString SoundRecorder::recordingPath(const QString& name) const
{
    return QDir(m_dataDir).filePath(name + QStringLiteral(".wav"));
}

void SoundRecorder::start(const QString& path, const RecordingFormat& format)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(recordingHeader(format)) != 44)
        throw SoundFileError(file.errorString());
    file.close();
    m_player.open(path);
    m_player.record();
    m_path = path;
}

void SoundRecorder::stopAndSave()
{
    const QString path = std::exchange(m_path, QString());
    if (path.isEmpty() || m_player.fileName() != path)
        throw SoundFileError(QStringLiteral("没有正在录制的声音"));
    m_player.stop();
    try {
        m_player.save(path);
    } catch (const SoundFileError&) {
        m_player.close();
        throw;
    }
    m_player.close();
}

void SoundRecorder::onPlayerTakenOver()
{
    if (m_path.isEmpty() || m_player.fileName() != m_path)
        return;
    const QString path = std::exchange(m_path, QString());
    try {
        m_player.stop();
        m_player.save(path);
        Q_EMIT recordingInterrupted(path, true, QString());
    } catch (const SoundFileError& e) {
        Q_EMIT recordingInterrupted(path, false, e.reason());
    }
}
