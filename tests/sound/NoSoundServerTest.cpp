#include "SignalProbe.h"
#include "monitor/SettingsStore.h"
#include "sound/AlarmSounds.h"
#include "sound/SoundRecorder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* const kChild = "TW_NO_SOUND_SERVER_CHILD";

// Without a sound server every play and record fails at once with a reason, and an alarm costs
// one line. The checks run in a child process that is pointed at a server that does not exist.
TEST(NoSoundServer, PlayAndRecordFailAtOnceWithAReason)
{
    if (!qEnvironmentVariableIsSet(kChild)) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChild), QStringLiteral("1"));
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/tw-no-server"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=NoSoundServer.PlayAndRecordFailAtOnceWithAReason")});
        ASSERT_TRUE(child.waitForFinished(60000)) << "the child hung";
        const QString out = QString::fromUtf8(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
        return;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("alarm.wav"));
    writeWaveFile(file, PcmSound{8000, 1, SignalProbe::sine(8000, 1, 440, 0.1)}, 16);
    Mply player;
    player.open(file);
    try {
        player.play();
        ADD_FAILURE() << "played without a sound server";
    } catch (const SoundFileError& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("没有可用的声音输出设备"));
    }
    EXPECT_NE(player.mode(), Mply::Mode::Playing);

    SoundRecorder recorder(player, dir.path());
    EXPECT_THROW(recorder.start(recorder.recordingPath(QStringLiteral("r")), RecordingFormat{}), SoundFileError);
    EXPECT_FALSE(recorder.isRecording());

    SettingsStore settings(dir.filePath(QStringLiteral("Para.ini")));
    QStringList lines;
    AlarmSounds sounds(player, settings, dir.path(), {{}, {}, [&](const QString& l) { lines << l; }, {}});
    for (int i = 0; i < 3; ++i)
        sounds.PlayAlarmSound(1, QStringLiteral("192.0.2.1:甲"));
    EXPECT_EQ(lines, QStringList{AlarmSounds::cannotPlayLine(file, QStringLiteral("没有可用的声音输出设备"))});
    EXPECT_EQ(sounds.soundList().size(), 3);
}

} // namespace
