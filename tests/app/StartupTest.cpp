#include "WindowFixture.h"

#include "alarm/PasswordScrambler.h"
#include "app/MemoLines.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>

using StartupTest = WindowFixture;

TEST_F(StartupTest, TheWindowIsBuiltAsTheMonitorAlwaysLooked)
{
    TfrmTarnwick& w = start();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tarnwicker网络检测员V2.0"));
    EXPECT_EQ(w.size(), QSize(807, 591));
    const QStringList pages = {QStringLiteral("Ping参数设置"), QStringLiteral("声音报警设置"),
                               QStringLiteral("电话报警设置"), QStringLiteral("邮件报警设置"),
                               QStringLiteral("网络报警设置")};
    ASSERT_EQ(w.ui().PageControl1->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.ui().PageControl1->tabText(i), pages[i]);
    EXPECT_TRUE(w.ui().mLine->isReadOnly());
    EXPECT_EQ(w.ui().panes->currentWidget(), w.ui().mInfor);
    // Form defaults of a fresh installation.
    EXPECT_EQ(w.ui().sePingCount->value(), 4);
    EXPECT_EQ(w.ui().sePingInterval->value(), 30);
    EXPECT_TRUE(w.ui().cbQty->isChecked());
    EXPECT_FALSE(w.ui().CheckBox3->isChecked());
    EXPECT_EQ(w.ui().ComboBox3->currentIndex(), -1);
    EXPECT_EQ(w.ui().edtSendSrvPort->text(), QStringLiteral("25"));
    EXPECT_EQ(w.ui().Edit13->text(), QStringLiteral("3"));
    EXPECT_EQ(PasswordScrambler::unscramble(w.ui().edtSendPsw->text()), QStringLiteral("quillmoss"));
    // Nothing is written at start-up when no setting changes.
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Para.ini"))));
}

TEST_F(StartupTest, EveryBoundSettingIsLoadedFromAnOldSettingsFile)
{
    writeGbk(
        QStringLiteral("Para.ini"),
        QStringLiteral("[PingPara]\r\nPingCount=6\r\nQty=40\r\nPingInterval=5\r\nRTT=300\r\ncbRTT=0\r\n"
                       "IgNormal=0\r\nA1=1\r\nA3=1\r\nA4=1\r\n[SndPara]\r\nRepeat=1\r\nchannels=1\r\nresolution=1\r\n"
                       "rate=3\r\n[EmailPara]\r\nRecMailBox=ops@example.org\r\nSender=me@example.org\r\n"
                       "E4=102BD7\r\nCheck=0\r\nSendSrv=127.0.0.1\r\nSendPort=2525\r\n"
                       "[NetPara]\r\nUseMess=0\r\nMemoInfor=快查！\r\nAlarmType=0\r\nRecPort=45000\r\n"
                       "AlarmSd=/snd/net.wav\r\n[TelPara]\r\nTelTestSnd=/snd/t.wav\r\nMaxTime=7\r\nRec0=9\r\n"
                       "Rec1=8\r\nRec2=7\r\nRec3=6\r\n"));
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    EXPECT_EQ(ui.sePingCount->value(), 6);
    EXPECT_EQ(ui.sePingErr->value(), 40);
    EXPECT_EQ(ui.sePingInterval->value(), 5);
    EXPECT_EQ(ui.seRTT->value(), 300);
    EXPECT_FALSE(ui.cbRTT->isChecked());
    EXPECT_FALSE(ui.cbIgNormal->isChecked());
    EXPECT_TRUE(ui.cbSD->isChecked());
    EXPECT_TRUE(ui.cbNet->isChecked());
    EXPECT_TRUE(ui.CheckBox1->isChecked());
    EXPECT_EQ(ui.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(ui.ComboBox2->currentIndex(), 1);
    EXPECT_EQ(ui.ComboBox3->currentIndex(), 3);
    EXPECT_EQ(ui.edtRec->text(), QStringLiteral("ops@example.org"));
    EXPECT_EQ(ui.edtSendPsw->text(), QStringLiteral("102BD7"));
    EXPECT_FALSE(ui.ckbCheck->isChecked());
    EXPECT_EQ(ui.edtSendSrvPort->text(), QStringLiteral("2525"));
    EXPECT_TRUE(ui.cbEmail->isChecked()); // a recipient is stored, so the mail rule keeps it on
    EXPECT_FALSE(ui.cbUseMess->isChecked());
    EXPECT_EQ(ui.MemoInfor->text(), QStringLiteral("快查！"));
    EXPECT_FALSE(ui.cbAlarmType->isChecked());
    EXPECT_EQ(ui.edtDefPort->text(), QStringLiteral("45000"));
    EXPECT_EQ(ui.netAlarmSD->text(), QStringLiteral("/snd/net.wav"));
    EXPECT_EQ(ui.Edit6->text(), QStringLiteral("/snd/t.wav"));
    EXPECT_EQ(ui.SpinEdit2->value(), 7);
    EXPECT_EQ(ui.Edit9->text() + ui.Edit10->text() + ui.Edit11->text() + ui.Edit13->text(), QStringLiteral("9876"));
}

TEST_F(StartupTest, OddStoredValuesFollowTheLoadRules)
{
    writeFile(QStringLiteral("Para.ini"), "[PingPara]\r\nPingCount=abc\r\ncbQty=yes\r\nQty=\r\nRTT=-5\r\nA3=1\r\n"
                                          "[SndPara]\r\nrate=x\r\nchannels=9\r\nDefSD=127.0.0.1:a\r\n");
    TfrmTarnwick& w = start();
    EXPECT_EQ(w.ui().sePingCount->value(), 1); // letters read as 1
    EXPECT_EQ(w.ui().sePingErr->value(), 50);  // an empty value counts as absent
    EXPECT_EQ(w.ui().seRTT->value(), -5);      // any integer is taken as it is
    EXPECT_FALSE(w.ui().cbQty->isChecked());   // only "1" checks a box ...
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("cbQty")),
              QStringLiteral("0")); // ... and it is written back
    EXPECT_EQ(w.ui().ComboBox3->currentIndex(), 0);
    EXPECT_EQ(w.ui().ComboBox1->currentIndex(), -1); // no such item
    EXPECT_FALSE(w.ui().CheckBox4->isChecked());     // DefSD holds an entry key, not "1"
    // A3 = 1 without a recipient: the mail switch goes off, is stored off and the rule is reported.
    EXPECT_FALSE(w.ui().cbEmail->isChecked());
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("A3")), QStringLiteral("0"));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("填写\"收件人邮箱\"后，才能使用\"邮件报警\"功能！")));
}

TEST_F(StartupTest, AddressLinesLoseTheirOldQualityAndFillTheSoundList)
{
    writeFile(QStringLiteral("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址=37%,812\r\n"
                                                                       "10.0.0.1:机房\n"
                                                                       "10.0.0.1:机房=5%,5\r"
                                                                       "\r\n"
                                                                       "nocolon")));
    writeFile(QStringLiteral("Para.ini"), CodePage::toGbk(QStringLiteral("[SndPara]\r\nDefSD=10.0.0.1:机房\r\n")));
    TfrmTarnwick& w = start();
    // Start-up set every line to quality 100 and no round-trip time, so the first cycle, answered at
    // once everywhere, finds every line normal and leaves it at "100%,0".
    EXPECT_EQ(MemoLines::lines(w.ui().mLine),
              (QStringList{QStringLiteral("127.0.0.1:本地地址=100%,0"), QStringLiteral("10.0.0.1:机房=100%,0"),
                           QStringLiteral("10.0.0.1:机房=100%,0"), QStringLiteral("=100%,0"),
                           QStringLiteral("nocolon=100%,0")}));
    EXPECT_EQ(probe.hosts.size(), 5 * 4);
    EXPECT_EQ(probe.hosts.first(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(probe.hosts.last(), QStringLiteral("nocolon=100%")); // no ":": the whole line is the host
    for (const QString& line : paneLines())
        EXPECT_FALSE(line.contains(QStringLiteral("网络"))) << line.toStdString();
    ASSERT_EQ(w.ui().lbSD->count(), 5);
    EXPECT_EQ(w.ui().lbSD->item(3)->text(), QString());
    EXPECT_EQ(w.ui().lbSD->currentRow(), 2); // the later of the two matching entries stays selected
    // The rewrite is the program's, not the operator's: leaving the list does not write the file.
    EXPECT_FALSE(w.ui().mLine->document()->isModified());
}

TEST_F(StartupTest, BrokenListFilesStillStartAndSayWhatHappened)
{
    writeFile(QStringLiteral("Ip.txt"), QByteArray("1.2.3.4:\xff\xfe\x00bin\r\n", 14) + QByteArray(20000, 'x'));
    QDir().mkdir(path(QStringLiteral("RecIp.txt"))); // exists, cannot be read as a file
    TfrmTarnwick& w = start();
    const QStringList lines = paneLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("文件Ip.txt不是GBK编码的文本，无法识别的字符已用“\uFFFD”代替。")));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("无法读取文件RecIp.txt")) &&
               l.endsWith(QStringLiteral("接收报警主机IP地址表为空。"));
    }));
    EXPECT_TRUE(lines.contains(QStringLiteral("找不到文件AlarmTelNo.txt，报警电话列表为空。")));
    EXPECT_EQ(MemoLines::count(w.ui().mLine), 2);
    // The cycle reads a line back with at most 4095 characters and rewrites it from that.
    EXPECT_EQ(MemoLines::line(w.ui().mLine, 1), QString(4095, u'x') + QStringLiteral("=100%,0"));
    EXPECT_TRUE(w.ui().mRecIp->toPlainText().isEmpty());
}

TEST_F(StartupTest, ShutdownWritesTheInformationPaneToALogFile)
{
    start();
    window->AddInfo(QStringLiteral("最后一行"));
    window->FormDestroy();
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^log\\d{14}\\.txt$")).match(logs[0]).hasMatch());
    EXPECT_TRUE(readFile(logs[0]).endsWith(CodePage::toGbk(QStringLiteral("最后一行\r\n"))));
}

TEST_F(StartupTest, BlankLinesAreEntriesToo)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n\r\n"));
    TfrmTarnwick& w = start();
    EXPECT_EQ(MemoLines::lines(w.ui().mLine),
              (QStringList{QStringLiteral("127.0.0.1:a=100%,0"), QStringLiteral("=100%,0")}));
    EXPECT_EQ(w.ui().lbSD->count(), 2);
    EXPECT_EQ(probe.hosts.size(), 8);
}

TEST_F(StartupTest, AListOfOneBlankLineHasOneEntry)
{
    writeFile(QStringLiteral("Ip.txt"), "\r\n");
    TfrmTarnwick& w = start();
    EXPECT_EQ(MemoLines::count(w.ui().mLine), 1);
    EXPECT_EQ(w.ui().lbSD->count(), 1);
    EXPECT_EQ(probe.hosts, QStringList(4, QStringLiteral("=100%")));
}

// Warned of only when the list was saved as UTF-8; a GBK list whose bytes happen to be valid UTF-8
// ("站" is D5 BE) is loaded without a word.
TEST_F(StartupTest, OnlyAUtf8ListIsLoadedWithAWarning)
{
    const QString warning = QStringLiteral("文件Ip.txt似乎是UTF-8编码的文本，请另存为GBK编码。");
    for (const QString& line : {QStringLiteral("198.51.100.1:A站"), QStringLiteral("127.0.0.1:本地地址")}) {
        for (const bool utf8 : {false, true}) {
            writeFile(QStringLiteral("Ip.txt"), utf8 ? (line + "\r\n").toUtf8() : CodePage::toGbk(line + "\r\n"));
            TfrmTarnwick& w = start();
            EXPECT_EQ(paneLines().contains(warning), utf8) << line.toStdString() << (utf8 ? " in UTF-8" : " in GBK");
            if (!utf8) {
                EXPECT_EQ(MemoLines::lines(w.ui().mLine), QStringList(line + QStringLiteral("=100%,0")));
            }
        }
    }
}
