// Writes the monitor's own alarm sound at build time, for the install tree and the package.
#include "sound/DefaultAlarmSound.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: alarm_tone FILE.wav\n", stderr);
        return 2;
    }
    try {
        writeWaveFile(QString::fromLocal8Bit(argv[1]), DefaultAlarmSound::tone(), 16);
    } catch (const SoundFileError& e) {
        std::fprintf(stderr, "alarm_tone: %s\n", e.reason().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
