// CPU time of the monitor while an alarm sound repeats for 60 s (a 1 s sound, repetition on):
// user and system time of this process over the wall time, and the number of plays. The sound
// server's own work is not counted; it is reported separately when its process can be found.
#include "monitor/SettingsStore.h"
#include "sound/AlarmSounds.h"
#include "sound/Mply.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kSeconds = 60;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of a process in seconds, from /proc; -1 when it cannot be read.
double processCpuSeconds(const QString& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid.isEmpty() || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

QString soundServerPid()
{
    QProcess pidof;
    pidof.start(QStringLiteral("pidof"), {QStringLiteral("pulseaudio")});
    pidof.waitForFinished(3000);
    return QString::fromLatin1(pidof.readAllStandardOutput()).split(u' ').value(0).trimmed();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        std::printf("alarm_sound_cpu: no sound server (start PulseAudio as tools/run-tests.sh does)\n");
        return 0;
    }
    QTemporaryDir dir;
    std::vector<qint16> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = qint16(12000 * std::sin(2 * M_PI * 660 * double(i) / 44100));
    writeWaveFile(dir.filePath(QStringLiteral("alarm.wav")), PcmSound{44100, 1, tone}, 16);
    SettingsStore settings(dir.filePath(QStringLiteral("Para.ini")));
    settings.write(QStringLiteral("SndPara"), QStringLiteral("Repeat"), QStringLiteral("1"));

    Mply player;
    int plays = 0;
    QObject::connect(&player, &Mply::notify, [&](Mply::Notify code) { plays += code == Mply::Notify::Successful; });
    AlarmSounds sounds(
        player, settings, dir.path(),
        {{}, {}, [](const QString& line) { std::printf("  %s\n", line.toLocal8Bit().constData()); }, {}});
    const QString server = soundServerPid();
    const double serverBefore = processCpuSeconds(server);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    sounds.PlayAlarmSound(1, QStringLiteral("192.0.2.1:bench"));
    QTimer::singleShot(kSeconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - before;
    const double seconds = wall.elapsed() / 1000.0;
    sounds.StopSound();
    std::printf("alarm_sound_cpu: repeating alarm sound for %.1f s, %d plays: %.2f s CPU, %.2f %% of one core "
                "(goal < 2 %%)\n",
                seconds, plays, cpu, 100 * cpu / seconds);
    const double serverAfter = processCpuSeconds(server);
    if (serverBefore >= 0 && serverAfter >= 0)
        std::printf("alarm_sound_cpu: the sound server meanwhile: %.2f %% of one core\n",
                    100 * (serverAfter - serverBefore) / seconds);
    return 0;
}
