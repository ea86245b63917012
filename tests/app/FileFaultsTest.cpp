#include "WindowFixture.h"

#include "ScratchMount.h"
#include "app/HistoryControl.h"
#include "app/MemoLines.h"
#include "records/HistoryStore.h"

#include <QTest>

using FileFaultsTest = WindowFixture;

namespace {

// The operator unlocks the address list, types a line in front of the others and leaves the list.
void typeLineIntoList(TfrmTarnwick& w, const QString& line)
{
    QPlainTextEdit* memo = w.ui().mLine;
    w.mLineDblClick();
    memo->setFocus(Qt::TabFocusReason);
    memo->moveCursor(QTextCursor::Start);
    QTest::keyClicks(memo, line);
    QTest::keyClick(memo, Qt::Key_Return);
    w.ui().bbPing->setFocus(Qt::TabFocusReason);
}

} // namespace

TEST_F(FileFaultsTest, OnAFullOrReadOnlyDiskNoFileIsLostAndEveryFailureIsShown)
{
    ScratchMount disk;
    if (disk.unavailable())
        GTEST_SKIP() << disk.unavailable();
    dataDir = disk.path();
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本地\r\n"));
    writeFile(QStringLiteral("Para.ini"), "[PingPara]\r\nPingCount=4\r\n");
    TfrmTarnwick& w = start();
    const QByteArray list = readFile(QStringLiteral("Ip.txt"));
    const QByteArray settings = readFile(QStringLiteral("Para.ini"));
    disk.fill();
    const QString noSpace = QStringLiteral("\". No space left on device");

    typeLineIntoList(w, QStringLiteral("10.0.0.9:x"));
    ASSERT_FALSE(prompter.messages.isEmpty());
    EXPECT_EQ(prompter.messages.last(), QStringLiteral("错误|Cannot create file \"") + path("Ip.txt") + noSpace);
    EXPECT_EQ(readFile(QStringLiteral("Ip.txt")), list);

    enter(w.ui().sePingCount);
    w.ui().sePingCount->selectAll();
    QTest::keyClicks(w.ui().sePingCount, QStringLiteral("9"));
    leave();
    EXPECT_EQ(prompter.messages.last(), QStringLiteral("错误|Unable to write to ") + path("Para.ini"));
    EXPECT_EQ(readFile(QStringLiteral("Para.ini")), settings);

    w.AddInfo(QStringLiteral("一行"));
    w.ui().tbSaveClear->click();
    EXPECT_TRUE(prompter.messages.last().startsWith(QStringLiteral("错误|Cannot create file \"") + path("log")));
    EXPECT_TRUE(prompter.messages.last().endsWith(noSpace)) << prompter.messages.last().toStdString();
    EXPECT_TRUE(paneLines().contains(QStringLiteral("一行"))); // not cleared

    w.FormDestroy(); // the shutdown log cannot be written either, and no empty one is left
    EXPECT_TRUE(prompter.messages.last().endsWith(noSpace));
    EXPECT_EQ(QDir(disk.path()).entryList({QStringLiteral("log*")}), QStringList());

    ASSERT_TRUE(disk.makeReadOnly());
    typeLineIntoList(w, QStringLiteral("10.0.0.8:y"));
    EXPECT_EQ(prompter.messages.last(), QStringLiteral("错误|Cannot create file \"") + path("Ip.txt") +
                                            QStringLiteral("\". Read-only file system"));
    EXPECT_EQ(readFile(QStringLiteral("Ip.txt")), list);
    w.ui().tbSaveClear->click();
    EXPECT_TRUE(prompter.messages.last().endsWith(QStringLiteral("\". Read-only file system")))
        << prompter.messages.last().toStdString();
}

// Opening a FIFO would wait for a writer for ever, and /dev/zero or a huge file would be read until
// the memory runs out: start-up would never end.
TEST_F(FileFaultsTest, FifosDevicesAndHugeFilesDoNotHoldUpStartUpAndAreNamed)
{
    for (const char* fifo : {"Para.ini", "RecIp.txt"})
        ASSERT_EQ(::mkfifo(qPrintable(path(QString::fromLatin1(fifo))), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("Ip.txt"))));
    QFile huge(path(QStringLiteral("AlarmTelNo.txt")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(5LL << 30)); // sparse: takes no space
    huge.close();

    start();
    const QStringList lines = paneLines();
    for (const QString& refused : {QStringLiteral("无法读取文件Ip.txt（不是普通文件），IP地址表为空。"),
                                   QStringLiteral("无法读取文件RecIp.txt（不是普通文件），接收报警主机IP地址表为空。"),
                                   QStringLiteral("无法读取文件AlarmTelNo.txt（文件大于64 MiB），报警电话列表为空。")})
        EXPECT_TRUE(lines.contains(refused)) << refused.toStdString();
}

TEST_F(FileFaultsTest, SavingAListKeepsItsFinalLineBreakAsTheFileHadIt)
{
    for (const QByteArray& end : {QByteArray("\r\n"), QByteArray(), QByteArray("\n")}) {
        writeFile(QStringLiteral("Ip.txt"), "127.0.0.1:a" + end);
        TfrmTarnwick& w = start();
        typeLineIntoList(w, QStringLiteral("10.0.0.9:b"));
        EXPECT_EQ(readFile(QStringLiteral("Ip.txt")),
                  "10.0.0.9:b\r\n127.0.0.1:a=100%,0" + QByteArray(end.isEmpty() ? "" : "\r\n"))
            << end.toHex().toStdString();
        window.reset();
    }
}

// A history that cannot be kept (here a file stands where its folder belongs) is told once in the
// pane, and the cycles go on as before.
TEST_F(FileFaultsTest, AHistoryThatCannotBeWrittenIsToldOnceAndTheCyclesGoOn)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本地\r\n127.0.0.2:二\r\n"));
    writeFile(QStringLiteral("history"), "not a folder");
    TfrmTarnwick& w = start();
    for (int cycle = 0; cycle < 2; ++cycle) {
        w.history().store().waitUntilWritten();
        QCoreApplication::processEvents();
        w.bbPingClick();
    }
    w.history().store().waitUntilWritten();
    QCoreApplication::processEvents();
    const QStringList lines = paneLines();
    const QStringList told = lines.filter(QStringLiteral("历史记录写入失败（"));
    ASSERT_EQ(told.size(), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(told[0],
              QStringLiteral("历史记录写入失败（%1）：无法创建文件夹").arg(QDir::toNativeSeparators(path("history"))));
    EXPECT_EQ(lines.filter(QStringLiteral("Ping结束。")).size(), 3);
    EXPECT_EQ(readFile(QStringLiteral("history")), "not a folder");
}
