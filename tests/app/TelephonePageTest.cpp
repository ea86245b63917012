#include "app/TelephonePage.h"
#include "EventWait.h"
#include "SimulatedModem.h"
#include "WindowFixture.h"
#include "sound/WaveFile.h"

#include <QTest>

#include <cmath>

using Callee = SimulatedModem::Callee;

// The telephone page of the shown window, its line on the simulated modem and the waits shortened.
class TelephonePageTest : public WindowFixture {
protected:
    TfrmTarnwick& startOnModem()
    {
        writeGbk(QStringLiteral("AlarmTelNo.txt"), QStringLiteral("5550001\r\n5550002\r\n"));
        modems = {sim.path()};
        TfrmTarnwick& w = start();
        TelephonePage& page = w.telephone();
        page.modem().setScanSystemPorts(false);
        page.modem().setLockFolder(dataDir);
        page.tel().setTiming({10, 5000});
        page.calls().setWaits({100, 50, 50, 200, 100, 60000});
        w.ui().cbTel->setChecked(true); // selects the first line
        return w;
    }
    QString recording()
    {
        PcmSound sound{8000, 1, {}};
        sound.samples.resize(2400);
        for (size_t i = 0; i < sound.samples.size(); ++i)
            sound.samples[i] = qint16(8000 * std::sin(double(i) / 3));
        writeWaveFile(path(QStringLiteral("test.wav")), sound, 16);
        return path(QStringLiteral("test.wav"));
    }

    SimulatedModem sim;
};

TEST_F(TelephonePageTest, TheTestCallPlaysTheRecordingAndThePauseKeyPausesTheCountdown)
{
    TfrmTarnwick& w = startOnModem();
    EXPECT_EQ(w.ui().Edit12->text(), w.telephone().tel().DeviceNames().value(0));
    sim.callees = {Callee{Callee::Answer, 1, -1, {{400, '3'}}}};
    w.ui().Edit6->setText(recording());
    w.ui().btSDTest->click();
    EXPECT_EQ(w.ui().btSDTest->text(), QStringLiteral("结束通话"));
    ASSERT_TRUE(waitFor([&] { return sim.toneLists.contains("#"); }));
    EXPECT_EQ(w.ui().GroupBox9->title(), QStringLiteral("下次检测剩余时间：暂停"));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("正在拨号:5550001......")));
    ASSERT_TRUE(waitFor([&] { return sim.audioSessionBytes.size() >= 2; })) << "the recording was not replayed";
    w.ui().btSDTest->click();
    EXPECT_EQ(w.ui().btSDTest->text(), QStringLiteral("通话测试"));
    EXPECT_FALSE(sim.offHook());
}

TEST_F(TelephonePageTest, ATestWithoutRecordingOnlyTurnsTheButton)
{
    TfrmTarnwick& w = startOnModem();
    w.ui().btSDTest->click();
    EXPECT_TRUE(paneLines().contains(QStringLiteral("找不到指定声音测试文件！")));
    EXPECT_EQ(w.ui().btSDTest->text(), QStringLiteral("结束通话"));
    w.ui().btSDTest->click();
    EXPECT_EQ(w.ui().btSDTest->text(), QStringLiteral("通话测试"));
    EXPECT_TRUE(sim.dialTimes.isEmpty());
}

TEST_F(TelephonePageTest, NoModemIsToldInThePaneAndABox)
{
    TfrmTarnwick& w = start();
    w.telephone().modem().setScanSystemPorts(false);
    w.ui().cbTel->setChecked(true);
    EXPECT_TRUE(paneLines().contains(TelephonePage::noModemText()));
    EXPECT_TRUE(w.ui().Edit12->text().isEmpty());
    EXPECT_EQ(prompter.messages.size(), 1);
}

// Entering the test recording field opens the dialog in the program's folder, and the chosen file is
// stored when the field is left; the telephone list is unlocked by a double click and saved on leaving.
TEST_F(TelephonePageTest, TheRecordingFieldAndThePhoneListAreEditedAsOnThePage)
{
    TfrmTarnwick& w = startOnModem();
    w.ui().PageControl1->setCurrentIndex(2);
    prompter.nextFile = recording();
    enter(w.ui().Edit6);
    QApplication::processEvents();
    ASSERT_EQ(prompter.dialogs, QStringList{dataDir + QStringLiteral("|声音文件 (*.wav *.WAV)")});
    EXPECT_EQ(w.ui().Edit6->text(), prompter.nextFile);
    leave();
    EXPECT_EQ(setting(QStringLiteral("TelPara"), QStringLiteral("TelTestSnd")), prompter.nextFile);

    EXPECT_TRUE(w.ui().mPhone->isReadOnly());
    w.ui().ToolButton14->click();
    EXPECT_FALSE(w.ui().mPhone->isReadOnly());
    EXPECT_EQ(paneLines().last(), QStringLiteral("报警电话列表为可修改状态！"));
    enter(w.ui().mPhone);
    w.ui().mPhone->moveCursor(QTextCursor::Start);
    QTest::keyClicks(w.ui().mPhone, QStringLiteral("5550009"));
    QTest::keyClick(w.ui().mPhone, Qt::Key_Return);
    leave();
    EXPECT_TRUE(w.ui().mPhone->isReadOnly());
    EXPECT_EQ(paneLines().last(), QStringLiteral("报警电话列表已保存！"));
    EXPECT_EQ(readGbk(QStringLiteral("AlarmTelNo.txt")), QStringLiteral("5550009\r\n5550001\r\n5550002\r\n"));
}
