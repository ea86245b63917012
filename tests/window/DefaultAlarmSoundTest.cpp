// A fresh folder, the sound alarm switched on and nothing recorded: the first alarm is heard all
// the same, in the program's own alarm tone.
#include "NetLab.h"
#include "platform/CodePage.h"
#include "sound/SignalProbe.h"
#include "sound/SoundServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The pitches heard in 50 ms steps of a 44.1 kHz mono recording, where it is loud.
std::vector<double> loudPitches(const std::vector<qint16>& samples)
{
    constexpr int kStep = 44100 / 20;
    std::vector<double> pitches;
    for (std::size_t at = 0; at + kStep <= samples.size(); at += kStep) {
        const std::vector<qint16> part(samples.begin() + long(at), samples.begin() + long(at + kStep));
        if (SignalProbe::rms(part) > 3000)
            pitches.push_back(SignalProbe::frequency(part, 44100, 1));
    }
    return pitches;
}

bool heard(const std::vector<double>& pitches, double hz)
{
    return std::any_of(pitches.begin(), pitches.end(), [hz](double p) { return std::abs(p - hz) < 15; });
}

} // namespace

TEST(DefaultAlarmSound, IsHeardOnTheFirstAlarmOfAFreshFolder)
{
    NetLab lab;
    QTemporaryDir dir;
    for (const auto& [name, bytes] :
         {std::pair{QStringLiteral("Ip.txt"), CodePage::toGbk(QStringLiteral("203.0.113.7:静默主机\r\n"))},
          std::pair{QStringLiteral("Para.ini"),
                    QByteArray("[PingPara]\r\nA1=1\r\nPingCount=1\r\n[NetPara]\r\nRecPort=0\r\n")}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    SoundServer::MonitorRecording recording;
    ASSERT_TRUE(recording.waitUntilRecording()) << "nothing records the null sink's monitor";

    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    monitor.setProcessEnvironment(env);
    monitor.start(QStringLiteral("ip"),
                  {QStringLiteral("netns"), QStringLiteral("exec"), QString::fromStdString(lab.name(NetLab::Ns::Probe)),
                   QStringLiteral(TW_BINARY_DIR "/tarnwicker"), QStringLiteral("--data-dir"), dir.path()});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    std::vector<double> pitches;
    QElapsedTimer clock;
    clock.start();
    while (!(heard(pitches, 960) && heard(pitches, 770)) && clock.elapsed() < 30000 &&
           monitor.state() == QProcess::Running) {
        monitor.waitForFinished(500);
        pitches = loudPitches(recording.samples());
    }
    const QByteArray errors = monitor.readAllStandardError();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    EXPECT_TRUE(monitor.waitForFinished(15000));
    EXPECT_TRUE(heard(pitches, 960) && heard(pitches, 770))
        << "the alarm tone was not heard; the monitor wrote: " << errors.constData();
    QFile seeded(dir.filePath(QStringLiteral("alarm.wav")));
    QFile installed(QStringLiteral(TW_BINARY_DIR "/share/tarnwicker/alarm.wav"));
    ASSERT_TRUE(seeded.open(QIODevice::ReadOnly));
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(seeded.readAll(), installed.readAll());
}
