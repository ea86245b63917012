#include "sound/DefaultAlarmSound.h"

#include "sound/AlarmSounds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>
#include <numbers>

PcmSound DefaultAlarmSound::tone()
{
    // Eight beeps of 125 ms, alternating 960 and 770 Hz, each faded in and out over 5 ms so that
    // the change of pitch does not click.
    constexpr double kBeepSeconds = 0.125;
    constexpr int kBeeps = 8;
    constexpr double kFadeSeconds = 0.005;
    constexpr double kAmplitude = 0.7;
    const int beepFrames = int(kBeepSeconds * kSampleRate);
    const int fadeFrames = int(kFadeSeconds * kSampleRate);
    PcmSound sound{kSampleRate, 1, {}};
    sound.samples.reserve(std::size_t(beepFrames) * kBeeps);
    for (int beep = 0; beep < kBeeps; ++beep) {
        const double hz = beep % 2 == 0 ? 960.0 : 770.0;
        for (int i = 0; i < beepFrames; ++i) {
            const int edge = std::min(i, beepFrames - 1 - i);
            const double fade = edge >= fadeFrames ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fadeFrames);
            const double value = kAmplitude * fade * std::sin(2 * std::numbers::pi * hz * i / kSampleRate);
            sound.samples.push_back(qint16(std::lround(value * 32767)));
        }
    }
    return sound;
}

QStringList DefaultAlarmSound::installedFiles(const QString& executableDir)
{
    const QString name = QStringLiteral("tarnwicker/") + AlarmSounds::fallbackName();
    const QDir dir(executableDir);
    QStringList files{QDir::cleanPath(dir.filePath(QStringLiteral("share/") + name)),
                      QDir::cleanPath(dir.filePath(QStringLiteral("../share/") + name))};
    for (const QString& file : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, name))
        if (!files.contains(file))
            files << file;
    return files;
}

bool DefaultAlarmSound::seed(const QString& folder, const QStringList& installed)
{
    const QString target = QDir(folder).filePath(AlarmSounds::fallbackName());
    if (QFileInfo::exists(target))
        return true;
    for (const QString& file : installed) {
        if (QFileInfo(file).isFile() && QFileInfo(file) != QFileInfo(target) && QFile::copy(file, target))
            return true;
    }
    try {
        writeWaveFile(target, tone(), 16);
        return true;
    } catch (const SoundFileError&) {
        QFile::remove(target);
        return false;
    }
}
