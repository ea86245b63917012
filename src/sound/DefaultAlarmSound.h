#pragma once

#include "sound/WaveFile.h"

#include <QString>
#include <QStringList>

// The alarm sound the monitor brings with it: a two-tone alarm of one second, 16-bit PCM. It is
// installed as share/tarnwicker/alarm.wav and copied into a program folder that has no "alarm.wav"
// when the monitor starts there, so that the sound alarm is heard before the operator records or
// chooses a sound of their own.
class DefaultAlarmSound {
public:
    static constexpr int kSampleRate = 22050;

    // The tone itself, mono.
    static PcmSound tone();

    // Where an installed program keeps its copy, most likely first: the share folder beside the
    // program's own folder (a build tree, a prefix), then the desktop's data folders.
    static QStringList installedFiles(const QString& executableDir);

    // Gives the folder its "alarm.wav" when it has none: a copy of the first installed file that
    // exists, else the tone written anew. A file that is there (the operator's own) is never touched.
    // False when the folder could not take the file.
    static bool seed(const QString& folder, const QStringList& installed);
};
