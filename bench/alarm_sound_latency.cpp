// Time from PlayAlarmSound to the first sample of the alarm sound at the sound server: the null
// sink of the test server is recorded through its monitor (parec, 5 ms latency) and the wall time
// is taken when the first loud sample comes out, so each figure includes the monitor's own delay
// and is an upper bound. Ten alarms, each on a fresh player, bounded in time, alternating with the
// same file played by PulseAudio's own paplay (process start included) as the server's reference.
#include "monitor/SettingsStore.h"
#include "sound/AlarmSounds.h"
#include "sound/Mply.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 10;
constexpr int kRate = 44100;

// Waits until parec has delivered a loud sample; the wall time of that moment, or -1.
qint64 firstLoudSample(QProcess& parec, const QElapsedTimer& clock, qint64 giveUpMs)
{
    QByteArray pending;
    while (clock.elapsed() < giveUpMs) {
        // The window keeps handling its messages while an alarm sounds.
        QCoreApplication::processEvents();
        parec.waitForReadyRead(1);
        pending += parec.readAllStandardOutput();
        const qsizetype usable = pending.size() & ~qsizetype(1);
        const auto* s = reinterpret_cast<const qint16*>(pending.constData());
        for (qsizetype i = 0; i < usable / 2; ++i)
            if (std::abs(int(s[i])) > 4000)
                return clock.elapsed();
        pending.remove(0, usable);
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        std::printf("alarm_sound_latency: no sound server (start PulseAudio as tools/run-tests.sh does)\n");
        return 0;
    }
    QTemporaryDir dir;
    std::vector<qint16> tone(kRate / 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = qint16(16000 * std::sin(2 * M_PI * 1000 * double(i) / kRate));
    writeWaveFile(dir.filePath(QStringLiteral("alarm.wav")), PcmSound{kRate, 1, tone}, 16);
    SettingsStore settings(dir.filePath(QStringLiteral("Para.ini")));

    // One recording of the monitor for all runs: a monitor that is started anew takes over a second
    // before it delivers anything, for any player.
    QProcess parec;
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("-d"), QStringLiteral("@DEFAULT_MONITOR@"), QStringLiteral("--raw"),
                 QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=5")});
    if (!parec.waitForStarted(3000)) {
        std::printf("alarm_sound_latency: parec did not start\n");
        return 0;
    }
    auto drain = [&parec](qint64 ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents();
            parec.waitForReadyRead(5);
            parec.readAllStandardOutput();
        }
    };
    drain(1500);
    std::vector<double> ms, reference;
    for (int run = 0; run < 2 * kRuns; ++run) {
        const bool ours = run % 2 == 0;
        Mply player;
        AlarmSounds sounds(
            player, settings, dir.path(),
            {{}, {}, [](const QString& line) { std::printf("  %s\n", line.toLocal8Bit().constData()); }, {}});
        QProcess paplay;
        QElapsedTimer clock;
        clock.start();
        if (ours)
            sounds.PlayAlarmSound(1, QStringLiteral("192.0.2.1:bench"));
        else
            paplay.start(QStringLiteral("paplay"), {dir.filePath(QStringLiteral("alarm.wav"))});
        const qint64 at = firstLoudSample(parec, clock, 3000);
        sounds.StopSound();
        paplay.kill();
        paplay.waitForFinished(2000);
        drain(1000);
        if (at >= 0)
            (ours ? ms : reference).push_back(double(at));
    }
    parec.kill();
    parec.waitForFinished(2000);
    if (ms.empty()) {
        std::printf("alarm_sound_latency: no sound reached the sink\n");
        return 0;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("alarm_sound_latency: PlayAlarmSound to first sample at the sink, %zu of %d runs: "
                "min %.0f ms, median %.0f ms, max %.0f ms (goal < 150 ms)\n",
                ms.size(), kRuns, ms.front(), ms[ms.size() / 2], ms.back());
    if (!reference.empty()) {
        std::sort(reference.begin(), reference.end());
        std::printf("alarm_sound_latency: paplay of the same file, for reference: min %.0f ms, median %.0f ms, "
                    "max %.0f ms\n",
                    reference.front(), reference[reference.size() / 2], reference.back());
    }
    return 0;
}
