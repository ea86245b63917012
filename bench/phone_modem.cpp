// The telephone line over the simulated voice modem on a pseudo-terminal: the CPU time to feed a
// 60-second alarm file (44.1 kHz stereo, read, resampled, encoded and DLE-shielded) into a call, as a
// share of one core over the 60 seconds the call takes, and the delay from a key's DLE code reaching
// the serial port to OnTapiDTMF, idle and while the sound plays.
#include "EventLoopWait.h"
#include "ModemThread.h"
#include "phone/LineDevice.h"
#include "phone/VoiceModem.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// CPU time of the calling thread: the monitor's user-interface thread, where the line device and the
// modem driver run. The simulated modem runs in a thread of its own and is not counted.
double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Call {
    explicit Call(int speed)
        : modemThread([speed](SimulatedModem& sim) { sim.speed = speed; })
    {
        modem = std::make_unique<VoiceModem>(QStringList{modemThread.path()});
        tel = std::make_unique<LineDevice>(modem.get());
    }
    ~Call()
    {
        tel.reset();
        modem.reset();
    }

    bool connect()
    {
        modem->setScanSystemPorts(false);
        modem->setLockFolder(dir.path());
        tel->OnTapiConnect = [this] { ++connects; };
        tel->OnTapiWaveNotify = [this](LineDevice::WaveMessage msg) {
            dones += msg == LineDevice::waPlayDone;
            if (msg == LineDevice::waPlayDone && loop)
                loop->quit();
        };
        tel->refreshDevices();
        if (tel->DeviceNames().isEmpty())
            return false;
        tel->setSelectedDevice(tel->DeviceNames().first());
        tel->setEnableVoice(true);
        tel->PlaceCall(QStringLiteral("5551234"));
        return waitFor([this] { return connects == 1; }, 5000);
    }

    ModemThread modemThread;
    QTemporaryDir dir;
    std::unique_ptr<VoiceModem> modem;
    std::unique_ptr<LineDevice> tel;
    int connects = 0;
    int dones = 0;
    QEventLoop* loop = nullptr;
};

QString alarmFile(const QString& folder, int seconds)
{
    PcmSound sound{44100, 2, std::vector<qint16>(size_t(seconds) * 44100 * 2)};
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16(9000 * std::sin(2 * M_PI * 660 * double(i / 2) / 44100) + (i % 13) * 64);
    const QString path = folder + QStringLiteral("/alarm60.wav");
    writeWaveFile(path, sound, 16);
    return path;
}

void feedCpu()
{
    Call call(1);
    if (!call.connect()) {
        std::printf("feed: no call\n");
        return;
    }
    const QString file = alarmFile(call.dir.path(), 60);
    QElapsedTimer wall;
    wall.start();
    const double before = threadCpuSeconds();
    QEventLoop loop;
    call.loop = &loop;
    call.tel->PlayWave(file);
    const double started = threadCpuSeconds();
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (call.dones == 0)
        loop.exec();
    call.loop = nullptr;
    const double cpu = threadCpuSeconds() - before;
    qint64 bytes = 0;
    call.modemThread.run([&] { bytes = call.modemThread.sim().audio.size(); });
    std::printf(
        "feed a 60 s alarm file (44.1 kHz stereo WAV) into a call at real time: %.0f ms wall, %.1f ms CPU in the "
        "user-interface thread (%.1f ms of it reading and converting the file), %.3f %% of one core, %lld audio "
        "bytes\n",
        double(wall.elapsed()), cpu * 1000, (started - before) * 1000, cpu / (double(wall.elapsed()) / 1000) * 100,
        qlonglong(bytes));
}

void keyDelay(bool playing)
{
    Call call(1);
    if (!call.connect()) {
        std::printf("key delay: no call\n");
        return;
    }
    QElapsedTimer clock;
    std::atomic<qint64> sentAt{0};
    std::vector<double> delays;
    call.tel->OnTapiDTMF = [&](QChar, int) { delays.push_back(double(clock.nsecsElapsed() - sentAt) / 1e6); };
    const QString file = playing ? alarmFile(call.dir.path(), 60) : QString();
    clock.start();
    constexpr int kKeys = 200;
    for (int i = 0; i < kKeys; ++i) {
        // Each key stops the sound; the next one comes while it plays again.
        if (playing && call.tel->WaveState() == 0) {
            call.tel->PlayWave(file);
            waitFor([] { return false; }, 100);
        }
        waitFor([] { return false; }, 20);
        const size_t before = delays.size();
        const char key = char('0' + i % 10);
        // The time is taken in the modem's thread right before the code goes out.
        call.modemThread.post([&, key] {
            sentAt = clock.nsecsElapsed();
            call.modemThread.sim().pressKey(key);
        });
        waitFor([&] { return delays.size() > before; }, 1000);
        waitFor([&] { return call.tel->WaveState() == 0 || !playing; }, 3000);
    }
    std::sort(delays.begin(), delays.end());
    if (delays.empty()) {
        std::printf("key delay: no key arrived\n");
        return;
    }
    std::printf("key DLE code to OnTapiDTMF (%s): %zu keys, median %.2f ms, 95th %.2f ms, max %.2f ms\n",
                playing ? "while the sound plays" : "idle call", delays.size(), delays[delays.size() / 2],
                delays[delays.size() * 95 / 100], delays.back());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    feedCpu();
    keyDelay(false);
    keyDelay(true);
    return 0;
}
