#include "EventWait.h"
#include "NetLab.h"
#include "SimulatedModem.h"
#include "platform/CodePage.h"
#include "sound/WaveFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString logText(const QString& folder)
{
    const QStringList logs = QDir(folder).entryList({QStringLiteral("log*.txt")});
    QFile log(QDir(folder).filePath(logs.value(0)));
    return logs.size() == 1 && log.open(QIODevice::ReadOnly) ? CodePage::fromGbk(log.readAll()) : QString();
}
} // namespace

// The headless monitor in a network lab where its one address never answers, with the simulated
// modem given on the command line: the first cycle's verdict raises the alarm, the telephone channel
// calls the first number, and the call runs at its real pace: the answer, ten seconds, the alarm
// sound once (the longest play time 0 ends the call at the first play-done), the hang-up.
TEST(TelephoneMonitorProcess, CallsAndPlaysTheAlarmWhenAnAddressFails)
{
    if (const std::string why = NetLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    NetLab lab;
    SimulatedModem sim;
    QTemporaryDir dir;
    writeFile(dir.filePath("Ip.txt"),
              CodePage::toGbk(QString::fromLatin1(NetLab::kSilent) + QStringLiteral(":机房\r\n")));
    writeFile(dir.filePath("AlarmTelNo.txt"), "5550001\r\n");
    writeFile(dir.filePath("Para.ini"), "[NetPara]\r\nRecPort=0\r\n[PingPara]\r\nPingCount=1\r\nA1=1\r\nA2=1\r\n"
                                        "[TelPara]\r\nMaxTime=0\r\n");
    PcmSound sound{8000, 1, std::vector<qint16>(8000)};
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16(7000 * std::sin(double(i) / 4));
    writeWaveFile(dir.filePath("alarm.wav"), sound, 16);
    QList<qint64> playsAt;
    QObject::connect(&sim, &SimulatedModem::commandReceived, [&](const QByteArray& line) {
        if (line == "AT+VTX")
            playsAt.append(sim.elapsedMs());
    });

    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral("ip"),
                  {QStringLiteral("netns"), QStringLiteral("exec"), QString::fromStdString(lab.name(NetLab::Ns::Probe)),
                   QStringLiteral(TW_BINARY_DIR "/tarnwicker"), QStringLiteral("--headless"),
                   QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--modem"), sim.path()});
    ASSERT_TRUE(monitor.waitForStarted(10000));
    // The echo request waits 5 s for its answer, the call 10 s before it plays.
    const bool played = waitFor([&] { return !sim.audioSessionBytes.isEmpty() && !sim.offHook(); }, 40000);
    pump(300);
    ::kill(pid_t(monitor.processId()), SIGTERM);
    const bool ended = monitor.waitForFinished(8000);
    const std::string output = monitor.readAll().toStdString();
    ASSERT_TRUE(played) << output;
    ASSERT_TRUE(ended) << output;
    EXPECT_EQ(monitor.exitCode(), 0) << output;

    ASSERT_EQ(sim.dialTimes.size(), 1);
    EXPECT_TRUE(sim.commands.contains("ATD5550001"));
    ASSERT_EQ(playsAt.size(), 1) << "the alarm played more than once or a second call was made";
    EXPECT_GE(playsAt.first() - sim.dialTimes.first(), 10000) << "the ten seconds after the answer were cut short";
    EXPECT_LT(playsAt.first() - sim.dialTimes.first(), 13000);
    const qint64 bytesPerSample = sim.selectedFormat == 133 ? 2 : 1;
    EXPECT_EQ(sim.audioSessionBytes, QList<qint64>{8000 * bytesPerSample}) << "the alarm sound did not arrive whole";
    EXPECT_GE(sim.lastSessionMs, 900) << "the sound was not played at its real pace";

    const QString log = logText(dir.path());
    qsizetype at = 0;
    for (const QString& line : {QStringLiteral("网络不通"), QStringLiteral("正常拨号:5550001......"),
                                QStringLiteral("正在拨号:5550001......"), QStringLiteral("结束通话......")}) {
        at = log.indexOf(line, at);
        EXPECT_GE(at, 0) << line.toStdString() << " missing or out of order in\n" << log.toStdString();
        if (at < 0)
            break;
    }
}

// A termination signal while the alarm plays into the call: the monitor ends in order and the modem
// is back on hook, its sound ended by <DLE><ETX> and the line released by AT+VLS=0.
TEST(TelephoneMonitorProcess, ATerminationSignalDuringACallHangsItUp)
{
    SimulatedModem sim;
    QTemporaryDir dir;
    // The round-trip threshold 0 ms makes 127.0.0.1 raise an alarm at the first cycle.
    writeFile(dir.filePath("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本地\r\n")));
    writeFile(dir.filePath("AlarmTelNo.txt"), "5550001\r\n");
    writeFile(dir.filePath("Para.ini"), "[NetPara]\r\nRecPort=0\r\n[PingPara]\r\nPingCount=1\r\nRTT=0\r\ncbRTT=1\r\n"
                                        "A1=1\r\nA2=1\r\n");
    PcmSound sound{8000, 1, std::vector<qint16>(8000 * 8)};
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16(7000 * std::sin(double(i) / 4));
    writeWaveFile(dir.filePath("alarm.wav"), sound, 16);

    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                  {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--modem"),
                   sim.path()});
    ASSERT_TRUE(monitor.waitForStarted(10000));
    // The call plays ten seconds after the answer.
    const bool playing = waitFor([&] { return sim.transmitting() && sim.audio.size() > 4000; }, 30000);
    ::kill(pid_t(monitor.processId()), SIGTERM);
    const bool ended = monitor.waitForFinished(8000);
    const std::string output = monitor.readAll().toStdString();
    ASSERT_TRUE(playing) << output;
    ASSERT_TRUE(ended) << output;
    EXPECT_EQ(monitor.exitCode(), 0) << output;
    // The modem reads what the monitor sent last at the line's own pace.
    EXPECT_TRUE(waitFor([&] { return !sim.transmitting() && !sim.offHook(); }, 3000))
        << "the modem was left " << (sim.transmitting() ? "playing" : "off hook");
    EXPECT_EQ(sim.audioSessionBytes.size(), 1) << "the sound was not ended by <DLE><ETX>";
    EXPECT_TRUE(sim.commands.mid(sim.commands.indexOf("AT+VTX")).contains("AT+VLS=0"))
        << sim.commands.join(' ').toStdString();
    EXPECT_TRUE(logText(dir.path()).contains(QStringLiteral("结束通话......")));
}
