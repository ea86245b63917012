#include "WindowFixture.h"

#include "alarm/PasswordScrambler.h"
#include "app/MemoLines.h"

#include <QTest>

using OperatorTest = WindowFixture;

TEST_F(OperatorTest, LeavingASpinFieldStoresItsValueAndTurnsZeroIntoOne)
{
    TfrmTarnwick& w = start();
    QSpinBox* count = w.ui().sePingCount;
    enter(count);
    count->selectAll();
    QTest::keyClicks(count, QStringLiteral("7"));
    leave();
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("PingCount")), QStringLiteral("7"));

    enter(count);
    count->selectAll();
    QTest::keyClick(count, Qt::Key_Delete);
    leave();
    EXPECT_EQ(count->value(), 1);
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("PingCount")), QStringLiteral("7"));
}

TEST_F(OperatorTest, AnEmptiedEditBoxGetsItsTextBackAndWritesIt)
{
    TfrmTarnwick& w = start();
    QLineEdit* port = w.ui().edtDefPort;
    enter(port);
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Delete);
    leave();
    EXPECT_EQ(port->text(), QStringLiteral("44444"));
    EXPECT_EQ(setting(QStringLiteral("NetPara"), QStringLiteral("RecPort")), QStringLiteral("44444"));

    enter(w.ui().Edit13);
    w.ui().Edit13->selectAll();
    QTest::keyClicks(w.ui().Edit13, QStringLiteral("#"));
    leave();
    EXPECT_EQ(setting(QStringLiteral("TelPara"), QStringLiteral("Rec3")), QStringLiteral("#"));
    EXPECT_EQ(setting(QStringLiteral("TelPara"), QStringLiteral("Rec2")), QString());
}

TEST_F(OperatorTest, FreeTextInARecordingComboChoosesTheFirstItemAndWritesNothing)
{
    TfrmTarnwick& w = start();
    QComboBox* rate = w.ui().ComboBox3;
    enter(rate);
    QTest::keyClicks(rate->lineEdit(), QStringLiteral("96000"));
    leave();
    EXPECT_EQ(rate->currentIndex(), 0);
    EXPECT_EQ(rate->currentText(), QStringLiteral("8000HZ"));
    EXPECT_EQ(setting(QStringLiteral("SndPara"), QStringLiteral("rate")), QString());

    rate->setCurrentIndex(2);
    enter(rate);
    leave();
    EXPECT_EQ(setting(QStringLiteral("SndPara"), QStringLiteral("rate")), QStringLiteral("2"));
}

TEST_F(OperatorTest, ClickingBoxesWritesThemAtOnceAndTheMailRuleHolds)
{
    TfrmTarnwick& w = start();
    QTest::mouseClick(w.ui().cbRTT, Qt::LeftButton, {}, QPoint(6, 11));
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("cbRTT")), QStringLiteral("0"));
    QTest::mouseClick(w.ui().cbUseSelf, Qt::LeftButton, {}, QPoint(6, 11));
    EXPECT_EQ(setting(QStringLiteral("NetPara"), QStringLiteral("UseSelf")), QStringLiteral("0"));

    w.ui().cbEmail->click();
    EXPECT_FALSE(w.ui().cbEmail->isChecked());
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("A3")), QStringLiteral("0"));
    EXPECT_EQ(paneLines().last(), QStringLiteral("填写\"收件人邮箱\"后，才能使用\"邮件报警\"功能！"));

    w.ui().edtRec->setText(QStringLiteral("ops@example.org"));
    w.ui().cbEmail->click();
    EXPECT_TRUE(w.ui().cbEmail->isChecked());
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("A3")), QStringLiteral("1"));
}

TEST_F(OperatorTest, APasswordIsStoredScrambledOnlyWhenTheOperatorChangedIt)
{
    TfrmTarnwick& w = start();
    QLineEdit* psw = w.ui().edtSendPsw;
    const QString before = psw->text();
    enter(psw);
    leave();
    EXPECT_EQ(psw->text(), before);
    EXPECT_EQ(setting(QStringLiteral("EmailPara"), QStringLiteral("E4")), QString());

    enter(psw);
    psw->selectAll();
    QTest::keyClicks(psw, QStringLiteral("s3cret"));
    leave();
    const QString stored = setting(QStringLiteral("EmailPara"), QStringLiteral("E4"));
    EXPECT_EQ(psw->text(), stored);
    EXPECT_EQ(PasswordScrambler::unscramble(stored), QStringLiteral("s3cret"));
}

TEST_F(OperatorTest, TheAddressListIsUnlockedEditedAndSavedInGbk)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本地地址\r\n"));
    TfrmTarnwick& w = start();
    QPlainTextEdit* memo = w.ui().mLine;
    enter(memo);
    leave();
    EXPECT_EQ(paneLines().last(), QStringLiteral("IP地址表已保存！"));
    EXPECT_EQ(readGbk(QStringLiteral("Ip.txt")), QStringLiteral("127.0.0.1:本地地址\r\n")); // untouched

    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    EXPECT_FALSE(memo->isReadOnly());
    EXPECT_EQ(paneLines().last(), QStringLiteral("IP地址表为可修改状态！"));
    enter(memo);
    memo->moveCursor(QTextCursor::End); // after the file's final line break
    QTest::keyClicks(memo, QStringLiteral("10.1.1.1:"));
    memo->insertPlainText(QStringLiteral("机房")); // Chinese arrives through the input method
    leave();
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(readFile(QStringLiteral("Ip.txt")),
              CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址=100%,0\r\n10.1.1.1:机房")));

    w.ToolButton1Click();
    EXPECT_EQ(MemoLines::lines(memo),
              (QStringList{QStringLiteral("127.0.0.1:本地地址=100%,0"), QStringLiteral("10.1.1.1:机房=100%,0")}));
}

TEST_F(OperatorTest, SaveAndClearWritesTheShownPane)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("192.168.1.1:路由\r\n10.0.0.1:机房\r\n"));
    TfrmTarnwick& w = start();
    w.AddInfo(QStringLiteral("一行"));
    w.pane().report().append(QStringLiteral("报告行"));
    w.pane().setReportShown(true);
    EXPECT_EQ(w.ui().panes->currentWidget(), w.ui().mRep);
    QTextCursor caret(w.ui().mLine->document()->findBlockByNumber(1));
    w.ui().mLine->setTextCursor(caret);
    w.ui().tbSaveClear->click();
    const QStringList reports = QDir(dir.path()).entryList({QStringLiteral("rep10.0.0.1*.txt")});
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(readGbk(reports[0]), QStringLiteral("报告行\r\n"));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("一行")));

    w.AddInfo(QStringLiteral("二行"));
    EXPECT_EQ(w.ui().panes->currentWidget(), w.ui().mInfor);
    w.ui().tbSaveClear->click();
    EXPECT_EQ(w.pane().info().count(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("log*.txt")}).size(), 1);
}

TEST_F(OperatorTest, AFailedWriteShowsTheErrorAndTheControlKeepsItsValue)
{
    TfrmTarnwick& w = start();
    QDir().mkdir(path(QStringLiteral("Para.ini"))); // the settings file cannot be written now
    enter(w.ui().sePingInterval);
    w.ui().sePingInterval->selectAll();
    QTest::keyClicks(w.ui().sePingInterval, QStringLiteral("15"));
    leave();
    EXPECT_EQ(w.ui().sePingInterval->value(), 15);
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_EQ(prompter.messages.last(), QStringLiteral("错误|Unable to write to ") + path(QStringLiteral("Para.ini")));
}

TEST_F(OperatorTest, ClosingTheWindowNeverEndsTheMonitor)
{
    TfrmTarnwick& w = start();
    EXPECT_FALSE(w.close());
    QApplication::processEvents();
    EXPECT_FALSE(w.terminationRequested());
    EXPECT_TRUE(w.isMinimized() || w.isHidden());
    w.AddInfo(QStringLiteral("still running"));
    EXPECT_EQ(paneLines().last(), QStringLiteral("still running"));
}

TEST_F(OperatorTest, SavingCharactersGbkCannotHoldSaysSo)
{
    TfrmTarnwick& w = start();
    QPlainTextEdit* memo = w.ui().mLine;
    w.mLineDblClick();
    memo->setFocus();
    memo->insertPlainText(QStringLiteral("127.0.0.1:caf\u00e9\U0001F600"));
    w.mLineExit();
    EXPECT_EQ(readFile(QStringLiteral("Ip.txt")),
              QByteArray("127.0.0.1:caf\xa8\xa6?")); // é is in GBK, the emoji is not
    EXPECT_EQ(paneLines().at(paneLines().size() - 2),
              QStringLiteral("IP地址表中有GBK编码不能表示的字符，已保存为\"?\"。"));
    EXPECT_EQ(paneLines().last(), QStringLiteral("IP地址表已保存！"));
}
