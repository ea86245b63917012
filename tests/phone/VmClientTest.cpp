#include "SimulatedModem.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

// mgetty-voice's `vm`, an independent V.253 client, against the simulated modem: the check that the
// simulator behaves like a modem and not merely like our driver.
class VmClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("vm")).isEmpty())
            GTEST_SKIP() << "mgetty-voice's vm is not installed";
        if (::geteuid() != 0)
            GTEST_SKIP() << "vm opens its line below /dev, which needs root for the link to the simulator";
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(sim.path(), link));
    }
    void TearDown() override { QFile::remove(link); }

    // Runs vm with the arguments while the simulator answers; its exit status, -1 when it hung.
    int runVm(const QStringList& arguments, int ms = 60000)
    {
        QProcess vm;
        vm.setProcessChannelMode(QProcess::MergedChannels);
        vm.start(QStringLiteral("vm"), arguments);
        QElapsedTimer clock;
        clock.start();
        while (vm.state() != QProcess::NotRunning && clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        output = vm.readAll();
        if (vm.state() != QProcess::NotRunning) {
            vm.kill();
            vm.waitForFinished();
            return -1;
        }
        return vm.exitStatus() == QProcess::NormalExit ? vm.exitCode() : -1;
    }

    // One device name per test process, so that tests running side by side do not share vm's lock.
    const QString device = QStringLiteral("ttyV%1").arg(::getpid());
    const QString link = QStringLiteral("/dev/") + device;
    SimulatedModem sim;
    QByteArray output;
};

TEST_F(VmClientTest, DialsThroughTheSimulator)
{
    // A real line rings a second or more after the dial. vm takes what comes in the first 100 ms
    // after its ATD as the command's own answer and then waits for a result already swallowed.
    sim.ringMs = 1000;
    EXPECT_EQ(runVm({QStringLiteral("dial"), QStringLiteral("-l"), device, QStringLiteral("5551234")}), 0)
        << output.toStdString();
    EXPECT_TRUE(sim.commands.contains("ATD5551234")) << output.toStdString();
    EXPECT_TRUE(sim.commands.contains("AT+VLS=0")) << "vm hangs up: " << sim.commands.join(" | ").toStdString();
}

TEST_F(VmClientTest, ReadsAKeyThroughTheSimulator)
{
    QObject::connect(&sim, &SimulatedModem::commandReceived, &sim, [this](const QByteArray& line) {
        if (line.startsWith("AT+VLS=1") || line.startsWith("AT+VRX") || line.startsWith("AT+VTX"))
            QTimer::singleShot(1500, &sim, [this] { sim.pressKey('7'); });
    });
    const int status = runVm({QStringLiteral("wait"), QStringLiteral("-P"), QStringLiteral("-t"), QStringLiteral("-l"),
                              device, QStringLiteral("10")});
    EXPECT_EQ(status, 0) << output.toStdString();
    EXPECT_TRUE(output.contains('7')) << output.toStdString() << sim.commands.join(" | ").toStdString();
}

TEST_F(VmClientTest, PlaysAFileThroughTheSimulator)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pvftormd")).isEmpty())
        GTEST_SKIP() << "mgetty-pvftools is not installed";
    QTemporaryDir dir;
    PcmSound sound{8000, 1, std::vector<qint16>(8000)};
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16((i % 40) * 400 - 8000);
    writeWaveFile(dir.filePath(QStringLiteral("tone.wav")), sound, 16);
    // vm plays its own format: 8-bit unsigned linear, the "UNSIGNED PCM" of AT+VSM.
    ASSERT_EQ(QProcess::execute(QStringLiteral("wavtopvf"),
                                {dir.filePath(QStringLiteral("tone.wav")), dir.filePath(QStringLiteral("tone.pvf"))}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("pvftormd"),
                                {QStringLiteral("V253modem"), QStringLiteral("8"),
                                 dir.filePath(QStringLiteral("tone.pvf")), dir.filePath(QStringLiteral("tone.rmd"))}),
              0);
    EXPECT_EQ(runVm({QStringLiteral("play"), QStringLiteral("-t"), QStringLiteral("-l"), device,
                     dir.filePath(QStringLiteral("tone.rmd"))}),
              0)
        << output.toStdString() << sim.commands.join(" | ").toStdString();
    EXPECT_TRUE(sim.selectedFormat == 1 || sim.selectedFormat == 128)
        << "an 8-bit unsigned format: " << sim.selectedFormat;
    ASSERT_EQ(sim.audioSessionBytes.size(), 1) << sim.commands.join(" | ").toStdString();
    EXPECT_NEAR(double(sim.audioSessionBytes.first()), 8000, 8) << "the whole second arrived";
    EXPECT_GE(sim.lastSessionMs, 900) << "at the pace of the line";
}
