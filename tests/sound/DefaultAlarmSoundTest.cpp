#include "sound/DefaultAlarmSound.h"
#include "SignalProbe.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

// A clear alarm: one second of two pitches in turn, loud but not clipped, 16-bit PCM when written.
TEST(DefaultAlarmSound, IsOneSecondOfTwoAlternatingPitches)
{
    const PcmSound tone = DefaultAlarmSound::tone();
    EXPECT_EQ(tone.channels, 1);
    EXPECT_NEAR(double(tone.frames()) / tone.sampleRate, 1.0, 0.01);
    const auto peak = *std::max_element(tone.samples.begin(), tone.samples.end());
    EXPECT_GT(peak, 20000);
    EXPECT_LT(peak, 32767);
    const int beep = tone.sampleRate / 8;
    for (int i = 0; i < 8; ++i) {
        const std::vector<qint16> part(tone.samples.begin() + i * beep, tone.samples.begin() + (i + 1) * beep);
        EXPECT_NEAR(SignalProbe::frequency(part, tone.sampleRate, 1), i % 2 == 0 ? 960 : 770, 2) << "beep " << i;
    }
    QTemporaryDir dir;
    WaveCoding coding;
    writeWaveFile(dir.filePath(QStringLiteral("t.wav")), tone, 16);
    EXPECT_EQ(readWaveFile(dir.filePath(QStringLiteral("t.wav")), coding).samples, tone.samples);
    EXPECT_EQ(coding.bitsPerSample, 16);
}

// What a folder gets: the operator's own file stays; else the installed copy; else the tone.
TEST(DefaultAlarmSound, SeedsOnlyAFolderWithoutOne)
{
    QTemporaryDir dir;
    const QString installed = dir.filePath(QStringLiteral("installed.wav"));
    writeBytes(installed, "RIFF installed");
    const QString missing = dir.filePath(QStringLiteral("missing.wav"));
    struct Case {
        const char* name;
        QByteArray own; // the folder's alarm.wav before; empty: none
        QStringList installedFiles;
        QByteArray expected; // empty: the tone, written anew
    } cases[] = {
        {"own file kept", "RIFF mine", {installed}, "RIFF mine"},
        {"installed copy", {}, {missing, installed}, "RIFF installed"},
        {"tone written", {}, {missing}, {}},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("alarm.wav"));
        if (!c.own.isEmpty())
            writeBytes(target, c.own);
        EXPECT_TRUE(DefaultAlarmSound::seed(folder.path(), c.installedFiles)) << c.name;
        if (c.expected.isEmpty())
            EXPECT_EQ(readWaveFile(target).samples, DefaultAlarmSound::tone().samples) << c.name;
        else
            EXPECT_EQ(bytesOf(target), c.expected) << c.name;
    }
    // A folder that cannot take the file (here a plain file where the folder should be; a mode
    // does not stop root) says so.
    writeBytes(dir.filePath(QStringLiteral("not-a-folder")), "x");
    EXPECT_FALSE(DefaultAlarmSound::seed(dir.filePath(QStringLiteral("not-a-folder")), {installed}));
}

TEST(DefaultAlarmSound, IsLookedForBesideTheProgramFirst)
{
    const QStringList files = DefaultAlarmSound::installedFiles(QStringLiteral("/opt/tw/bin"));
    ASSERT_GE(files.size(), 2);
    EXPECT_EQ(files[0], QStringLiteral("/opt/tw/bin/share/tarnwicker/alarm.wav"));
    EXPECT_EQ(files[1], QStringLiteral("/opt/tw/share/tarnwicker/alarm.wav"));
}
