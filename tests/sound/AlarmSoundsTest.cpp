#include "sound/AlarmSounds.h"
#include "SignalProbe.h"
#include "SoundServer.h"
#include "monitor/SettingsStore.h"
#include "shared/AlarmKind.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AlarmSoundsTest : public ::testing::Test {
protected:
    AlarmSoundsTest()
        : settings(dir.filePath(QStringLiteral("Para.ini")))
        , recordEnds(QObject::connect(&player, &Mply::notify,
                                      [this](Mply::Notify code) {
                                          if (code == Mply::Notify::Successful)
                                              played << player.fileName();
                                      }))
        , sounds(player, settings, dir.path(),
                 {[this] { return netAlarmSD; }, [this] { return edit6; },
                  [this](const QString& line) { lines.append(line); }, [this] { ++previewsEnded; }})
    {
        player.setOutputDevice(SoundServer::nullSink());
    }
    QString tone(const QString& name, double hz, double seconds = 0.15)
    {
        const QString path = dir.filePath(name);
        writeWaveFile(path, PcmSound{22050, 1, SignalProbe::sine(22050, 1, hz, seconds)}, 16);
        return path;
    }
    // Tests begin with `if (!haveSoundServer()) return;`; the skip is recorded.
    bool haveSoundServer()
    {
        if (!SoundServer::nullSink().isNull())
            return true;
        [] { GTEST_SKIP() << "no PulseAudio server with the null sink tw_null (tools/run-tests.sh starts one)"; }();
        return false;
    }

    QTemporaryDir dir;
    SettingsStore settings;
    Mply player;
    QStringList played; // the file of every sound that played to its end, in order
    QMetaObject::Connection recordEnds;
    AlarmSounds sounds;
    QString netAlarmSD, edit6;
    QStringList lines;
    int previewsEnded = 0;
};

TEST_F(AlarmSoundsTest, ChoosesTheFileByKindAddressDefaultAddressAndFallback)
{
    const QString fallback = dir.filePath(QStringLiteral("alarm.wav"));
    struct Case {
        const char* name;
        QString defaultKey;
        bool fallbackExists;
        int code;
        QString expected; // empty: nothing queued, the "record a sound" line instead
    } cases[] = {
        {"own sound", {}, false, AlarmKind::Break, QStringLiteral("/s/a-break.wav")},
        {"default address's sound", QStringLiteral("10.0.0.9:Default"), false, AlarmKind::Bad,
         QStringLiteral("/s/d-bad.wav")},
        {"default without that kind", QStringLiteral("10.0.0.9:Default"), true, AlarmKind::Slow, fallback},
        {"default without it, no alarm.wav", QStringLiteral("10.0.0.9:Default"), false, AlarmKind::Slow, {}},
        {"received alarm, empty field", {}, true, AlarmKind::Remote, fallback},
        {"test call", {}, false, AlarmKind::CallTest, QStringLiteral("/s/test.wav")},
        {"no alarm", {}, true, AlarmKind::NoAlarm, {}},
    };
    const QString a = QStringLiteral("192.0.2.1:甲");
    settings.write(QStringLiteral("Break"), a, QStringLiteral("/s/a-break.wav"));
    settings.write(QStringLiteral("Slow"), a, QStringLiteral("/s/a-slow.wav"));
    settings.write(QStringLiteral("Bad"), QStringLiteral("10.0.0.9:Default"), QStringLiteral("/s/d-bad.wav"));
    edit6 = QStringLiteral("/s/test.wav");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.write(QStringLiteral("SndPara"), QStringLiteral("DefSD"), c.defaultKey);
        QFile::remove(fallback);
        if (c.fallbackExists)
            tone(QStringLiteral("alarm.wav"), 500);
        sounds.clearSoundList();
        lines.clear();
        sounds.PlayAlarmSound(c.code, a);
        sounds.StopSound();
        EXPECT_EQ(sounds.soundList(), c.expected.isEmpty() ? QStringList() : QStringList{c.expected});
        const bool told = lines.contains(AlarmSounds::noSoundLine());
        EXPECT_EQ(told, c.expected.isEmpty() && c.code > 0);
    }
}

TEST_F(AlarmSoundsTest, QueuedSoundsPlayOnceOrInTurnWithRepetition)
{
    if (!haveSoundServer())
        return;
    const QStringList files{tone(QStringLiteral("1.wav"), 400), tone(QStringLiteral("2.wav"), 600),
                            tone(QStringLiteral("3.wav"), 800)};
    for (const bool repeat : {false, true}) {
        SCOPED_TRACE(repeat);
        settings.write(QStringLiteral("SndPara"), QStringLiteral("Repeat"), repeat ? "1" : "0");
        for (int i = 0; i < 3; ++i)
            settings.write(QStringLiteral("Break"), QStringLiteral("k%1").arg(i), files[i]);
        played.clear();
        for (int i = 0; i < 3; ++i)
            sounds.PlayAlarmSound(AlarmKind::Break, QStringLiteral("k%1").arg(i));
        EXPECT_EQ(sounds.soundList(), files);
        EXPECT_TRUE(QTest::qWaitFor([&] { return played.size() >= (repeat ? 5 : 1); }, 20000));
        QTest::qWait(repeat ? 0 : 2500);
        sounds.StopSound();
        if (repeat)
            EXPECT_EQ(played.mid(0, 5), (QStringList{files[0], files[1], files[2], files[0], files[1]}));
        else
            EXPECT_EQ(played, QStringList{files[0]});
        EXPECT_EQ(player.mode(), Mply::Mode::NotOpen);
        EXPECT_GE(previewsEnded, played.size());
        sounds.clearSoundList();
        sounds.setSoundIndex(0);
    }
    EXPECT_TRUE(lines.isEmpty()) << lines.join(u'\n').toStdString();
}

TEST_F(AlarmSoundsTest, AnUnplayableSoundCostsOneLineAndTheRepetitionGoesOn)
{
    if (!haveSoundServer())
        return;
    settings.write(QStringLiteral("SndPara"), QStringLiteral("Repeat"), QStringLiteral("1"));
    const QString missing = dir.filePath(QStringLiteral("gone.wav"));
    settings.write(QStringLiteral("Break"), QStringLiteral("a"), missing);
    settings.write(QStringLiteral("Break"), QStringLiteral("b"), tone(QStringLiteral("b.wav"), 600));
    sounds.PlayAlarmSound(AlarmKind::Break, QStringLiteral("a"));
    sounds.PlayAlarmSound(AlarmKind::Break, QStringLiteral("a"));
    sounds.PlayAlarmSound(AlarmKind::Break, QStringLiteral("b"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return played.size() >= 3; }, 15000));
    sounds.StopSound();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], AlarmSounds::cannotPlayLine(missing, QStringLiteral("文件不存在")));
    EXPECT_EQ(sounds.soundList().size(), 3);
}

} // namespace
