#include "WindowFixture.h"

#include "../sound/SignalProbe.h"
#include "app/SoundPage.h"
#include "sound/AlarmSounds.h"
#include "sound/Mply.h"
#include "sound/WaveFile.h"

#include <QMediaDevices>

#include <QTest>
#include <functional>

namespace {

class SoundPageTest : public WindowFixture {
protected:
    QString tone(const QString& name, double seconds = 0.2)
    {
        writeWaveFile(path(name), PcmSound{22050, 1, SignalProbe::sine(22050, 1, 500, seconds)}, 16);
        return path(name);
    }
    void seed(const QString& ini)
    {
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("192.0.2.1:甲\r\n192.0.2.2:乙\r\n"));
        writeGbk(QStringLiteral("Para.ini"), ini);
    }
    // Tests begin with `if (!haveSoundServer()) return;`; the skip is recorded.
    bool haveSoundServer()
    {
        if (!QMediaDevices::defaultAudioOutput().isNull())
            return true;
        [] { GTEST_SKIP() << "no sound output (tools/run-tests.sh starts PulseAudio with a null sink)"; }();
        return false;
    }
    const QString a = QStringLiteral("192.0.2.1:甲");
    const QString b = QStringLiteral("192.0.2.2:乙");
};

TEST_F(SoundPageTest, TheFieldsFollowTheSelectedAddressAndTheDefaultBox)
{
    seed(QStringLiteral("[SndPara]\r\nDefSD=192.0.2.1:甲\r\n[Break]\r\n192.0.2.1:甲=/s/断网.wav\r\n"
                        "[Slow]\r\n192.0.2.1:甲=/s/slow.wav\r\n"));
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    ASSERT_NE(ui.lbSD->currentItem(), nullptr);
    EXPECT_EQ(ui.lbSD->currentItem()->text(), a);
    EXPECT_EQ(ui.Edit4->text(), QStringLiteral("断网.wav"));
    EXPECT_EQ(ui.Edit4->toolTip(), QStringLiteral("/s/断网.wav"));
    EXPECT_EQ(SoundPage::fullPath(ui.Edit7), QStringLiteral("/s/slow.wav"));
    EXPECT_TRUE(ui.Edit8->text().isEmpty());
    EXPECT_TRUE(ui.CheckBox4->isChecked());

    ui.lbSD->setCurrentRow(1);
    EXPECT_TRUE(ui.Edit4->text().isEmpty());
    EXPECT_FALSE(ui.CheckBox4->isChecked());
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), ui.Edit4->mapToGlobal(QPointF(5, 5)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(ui.Edit4, &move);
    EXPECT_EQ(ui.Edit4->toolTip(), SoundPage::emptyFieldTip());

    ui.CheckBox4->click();
    EXPECT_EQ(setting(QStringLiteral("SndPara"), QStringLiteral("DefSD")), b);
    ui.CheckBox4->click();
    EXPECT_EQ(setting(QStringLiteral("SndPara"), QStringLiteral("DefSD")), QString());
}

TEST_F(SoundPageTest, AChosenFileIsStoredOnlyForASelectedAddress)
{
    seed(QStringLiteral("[Bad]\r\n192.0.2.2:乙=/s/old.wav\r\n"));
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    struct Case {
        const char* name;
        int row;
        QString chosen;
        QString stored;
    } cases[] = {
        {"no address selected", -1, QStringLiteral("/s/new.wav"), QString()},
        {"dialog cancelled", 1, QString(), QStringLiteral("/s/old.wav")},
        {"file chosen", 1, QStringLiteral("/s/新的.wav"), QStringLiteral("/s/新的.wav")},
        {"path GBK cannot hold", 1, QStringLiteral("/s/\U0001F514.wav"), QStringLiteral("/s/新的.wav")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.lbSD->setCurrentRow(c.row);
        prompter.nextFile = c.chosen;
        enter(ui.Edit8);
        QTest::qWait(20);
        EXPECT_TRUE(ui.lbSD->hasFocus());
        const QString key = c.row == 1 ? b : a;
        EXPECT_EQ(setting(QStringLiteral("Bad"), key), c.stored);
    }
    EXPECT_EQ(ui.Edit8->text(), QStringLiteral("新的.wav")); // the refused path left the field alone
    EXPECT_EQ(paneLines().filter(QStringLiteral("\U0001F514")).size(), 1);

    prompter.nextFile = QStringLiteral("/s/remote.wav");
    enter(ui.netAlarmSD);
    QTest::qWait(20);
    EXPECT_TRUE(ui.mRecIp->hasFocus());
    EXPECT_EQ(setting(QStringLiteral("NetPara"), QStringLiteral("AlarmSd")), QStringLiteral("/s/remote.wav"));
}

TEST_F(SoundPageTest, ThePreviewChecksTheFileThenPlaysAndStops)
{
    if (!haveSoundServer())
        return;
    seed(QString());
    writeFile(QStringLiteral("note.txt"), "text");
    TfrmTarnwick& w = start();
    SoundPage& page = w.soundPage();
    QToolButton* button = w.ui().SpeedButton1;
    page.SpeedButtonPlay(path(QStringLiteral("missing.wav")), button);
    page.SpeedButtonPlay(path(QStringLiteral("note.txt")), button);
    EXPECT_EQ(prompter.messages, (QStringList{QStringLiteral("提示|请指定声音文件！"),
                                              QStringLiteral("提示|指定文件不是的声音文件(.WAV)！")}));

    page.SpeedButtonPlay(tone(QStringLiteral("lower.wav"), 3), button);
    EXPECT_EQ(button->property("tag").toInt(), 0);
    EXPECT_EQ(w.player().mode(), Mply::Mode::Playing);
    page.SpeedButtonPlay(path(QStringLiteral("lower.wav")), button);
    EXPECT_EQ(button->property("tag").toInt(), 1);
    EXPECT_EQ(w.player().mode(), Mply::Mode::NotOpen);

    // A preview that plays to its end makes its button idle again.
    page.SpeedButtonPlay(tone(QStringLiteral("short.wav"), 0.1), button);
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->property("tag").toInt() == 1; }, 10000));
}

TEST_F(SoundPageTest, TheRecorderChecksTheNameAndAsksBeforeReplacing)
{
    seed(QStringLiteral("[SndPara]\r\nchannels=1\r\nresolution=0\r\nrate=3\r\n"));
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    ui.SpeedButton4->click();
    EXPECT_EQ(prompter.messages.value(0), QStringLiteral("提示|请指定要录制的声音文件名"));
    EXPECT_TRUE(ui.Edit5->hasFocus());

    writeFile(QStringLiteral("msg.wav.wav"), "keep me");
    ui.Edit5->setText(QStringLiteral("msg.wav"));
    prompter.nextAnswer = false;
    ui.SpeedButton4->click();
    EXPECT_EQ(prompter.messages.value(1), QStringLiteral("提示|指定的声音文件已经存在，要替换它吗？"));
    EXPECT_EQ(readFile(QStringLiteral("msg.wav.wav")), QByteArray("keep me"));
    EXPECT_EQ(ui.SpeedButton4->property("tag").toInt(), 1);

    if (QMediaDevices::defaultAudioInput().isNull())
        GTEST_SKIP() << "no sound input (tools/run-tests.sh starts PulseAudio with a null source)";
    prompter.nextAnswer = true;
    ui.SpeedButton4->click();
    ASSERT_EQ(ui.SpeedButton4->property("tag").toInt(), 0) << prompter.messages.join(u'\n').toStdString();
    QTest::qWait(300);
    ui.SpeedButton4->click();
    EXPECT_EQ(prompter.messages.last(), QStringLiteral("信息|声音录制完毕!"));
    EXPECT_EQ(ui.SpeedButton4->property("tag").toInt(), 1);
    // Stereo, 8 bits, 44100 Hz: 88200 bytes per second, block alignment 2.
    const QByteArray head = readFile(QStringLiteral("msg.wav.wav")).left(36);
    EXPECT_EQ(head.mid(22, 14).toHex(), QByteArray("0200"
                                                   "44ac0000"
                                                   "88580100"
                                                   "0200"
                                                   "0800"));
}

TEST_F(SoundPageTest, AlarmsOfACyclePlayUntilTheNextCycleResetsThem)
{
    if (!haveSoundServer())
        return;
    tone(QStringLiteral("alarm.wav"), 2);
    seed(QStringLiteral("[PingPara]\r\nA1=1\r\n[Break]\r\n192.0.2.2:乙=") + path(QStringLiteral("gone.wav")) +
         QStringLiteral("\r\n"));
    probe.answers = [](const QString&) { return false; };
    TfrmTarnwick& w = start();
    // Both addresses broke: 甲 plays alarm.wav, 乙's missing file costs one line and waits in the list.
    EXPECT_EQ(w.alarmSounds().soundList(),
              (QStringList{path(QStringLiteral("alarm.wav")), path(QStringLiteral("gone.wav"))}));
    EXPECT_EQ(w.player().mode(), Mply::Mode::Playing);
    EXPECT_EQ(paneLines().filter(QStringLiteral("gone.wav")).size(), 0); // queued, not yet tried
    EXPECT_EQ(paneLines().filter(QStringLiteral("Ping结束")).size(), 1);

    probe.answers = nullptr;
    w.bbPingClick();
    EXPECT_EQ(w.player().mode(), Mply::Mode::NotOpen);
    EXPECT_TRUE(w.alarmSounds().soundList().isEmpty());
    EXPECT_EQ(w.alarmSounds().soundIndex(), 0);
}

TEST_F(SoundPageTest, ASoundThatCannotPlayCostsOneLineAndTheCycleGoesOn)
{
    const QString gone = path(QStringLiteral("gone.wav"));
    seed(QStringLiteral("[PingPara]\r\nA1=1\r\n[SndPara]\r\nDefSD=192.0.2.1:甲\r\n[Break]\r\n192.0.2.1:甲=") + gone +
         QStringLiteral("\r\n"));
    probe.answers = [](const QString&) { return false; };
    start();
    EXPECT_EQ(probe.hosts.size(), 8); // both addresses, four requests each
    EXPECT_EQ(paneLines().filter(QStringLiteral("gone.wav")).size(), 1) << paneLines().join(u'\n').toStdString();
    EXPECT_EQ(paneLines().filter(QStringLiteral("Ping结束")).size(), 1);
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join(u'\n').toStdString();
}

TEST_F(SoundPageTest, ARecordingUnderWayIsSavedWhateverTakesThePlayer)
{
    if (!haveSoundServer())
        return;
    seed(QStringLiteral("[PingPara]\r\nA1=1\r\n[SndPara]\r\nchannels=0\r\nresolution=1\r\nrate=0\r\n"));
    probe.answers = [](const QString&) { return false; }; // an alarm is current after start-up
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    const QString preview = tone(QStringLiteral("preview.wav"), 0.3);
    // Starts a recording under the name and lets it run until samples have come in.
    auto record = [&](const QString& name) {
        ui.Edit5->setText(name);
        ui.SpeedButton4->click();
        EXPECT_EQ(ui.SpeedButton4->property("tag").toInt(), 0) << prompter.messages.join(u'\n').toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.player().recordedSeconds() > 0.2; }, 10000));
    };
    struct Case {
        const char* name;
        std::function<void()> takeOver;
    } cases[] = {
        {"alarm state reset", [&] { w.bbCancClick(); }},
        {"preview", [&] { w.soundPage().SpeedButtonPlay(preview, ui.SpeedButton1); }},
        {"monitor ends", [&] { window.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QStringLiteral("rec-") + QString::fromLatin1(c.name).replace(u' ', u'-');
        record(name);
        c.takeOver();
        const PcmSound saved = readWaveFile(path(name + QStringLiteral(".wav")));
        EXPECT_GT(saved.frames(), 8000 * 0.2);
        if (window) {
            EXPECT_EQ(ui.SpeedButton4->property("tag").toInt(), 1);
            EXPECT_EQ(paneLines().filter(QStringLiteral("已录制的声音保存在")).filter(name).size(), 1);
        }
    }
}

} // namespace
