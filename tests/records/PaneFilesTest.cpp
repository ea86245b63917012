#include "records/PaneFiles.h"
#include "platform/AppError.h"
#include "records/InfoPane.h"
#include "shared/TimeStamp.h"

#include "ScratchMount.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDateTime kAt(QDate(2026, 12, 7), QTime(14, 30, 5));

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(TimeStamp, PrefixAndFileStampOfAKnownMoment)
{
    EXPECT_EQ(TimeStamp::prefix(kAt), QStringLiteral("2026-12-07 14:30:05 -> "));
    EXPECT_EQ(TimeStamp::prefix(kAt).size(), 23);
    EXPECT_EQ(TimeStamp::fileStamp(kAt), QStringLiteral("20261207143005"));
    EXPECT_EQ(TimeStamp::fileStamp(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))), QStringLiteral("20270102030405"));
}

TEST(InfoPane, AddInfoHidesTheReportAndDirectLinesDoNot)
{
    InfoPane pane;
    pane.setReportShown(true);
    pane.appendDirect(QStringLiteral("mail result"));
    EXPECT_TRUE(pane.reportShown());
    pane.addInfo(QStringLiteral("verdict"));
    EXPECT_FALSE(pane.reportShown());
    EXPECT_EQ(pane.info().lines(), (QStringList{QStringLiteral("mail result"), QStringLiteral("verdict")}));
}

TEST(InfoPane, TextWithLineBreaksBecomesSeveralLinesAndEachIsAnnounced)
{
    InfoPane pane;
    QSignalSpy added(&pane, &InfoPane::lineAdded);
    pane.addInfo(QStringLiteral("失败！550 no\r\nsecond\r\n"));
    pane.addInfo(QString());
    EXPECT_EQ(pane.info().lines(), (QStringList{QStringLiteral("失败！550 no"), QStringLiteral("second"), QString()}));
    ASSERT_EQ(added.count(), 3);
    EXPECT_EQ(added.at(1).at(0).toString(), QStringLiteral("second"));
}

TEST(PaneFiles, LogFileIsGbkWithCrLfAndNoByteOrderMark)
{
    QTemporaryDir dir;
    InfoPane pane;
    pane.addInfo(QStringLiteral("2026-12-07 14:30:05 -> 127.0.0.1:本地地址网络正常！"));
    pane.addInfo(QStringLiteral("Ping结束。"));
    const QString path = PaneFiles::saveAndClear(pane, dir.path(), QString(), kAt);
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("log20261207143005.txt"));
    EXPECT_EQ(readAll(path), QByteArray("2026-12-07 14:30:05 -> 127.0.0.1:\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7"
                                        "\xcd\xf8\xc2\xe7\xd5\xfd\xb3\xa3\xa3\xa1\r\n"
                                        "Ping\xbd\xe1\xca\xf8\xa1\xa3\r\n"));
    EXPECT_EQ(pane.info().count(), 0);
}

TEST(PaneFiles, EmptyPaneGivesAnEmptyFileAndASaveInATakenSecondTakesTheNextFreeOne)
{
    QTemporaryDir dir;
    InfoPane pane;
    pane.addInfo(QStringLiteral("first"));
    const QString first = PaneFiles::saveAndClear(pane, dir.path(), QString(), kAt);
    const QString second = PaneFiles::saveAndClear(pane, dir.path(), QString(), kAt);
    const QString third = PaneFiles::saveAndClear(pane, dir.path(), QString(), kAt);
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("log20261207143006.txt"));
    EXPECT_EQ(QFileInfo(third).fileName(), QStringLiteral("log20261207143007.txt"));
    EXPECT_EQ(readAll(first), QByteArray("first\r\n"));
    EXPECT_EQ(readAll(second), QByteArray());
    pane.report().append(QStringLiteral("r"));
    pane.setReportShown(true);
    QFile(dir.filePath(QStringLiteral("rep10.0.0.120261207143005.txt"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(QFileInfo(PaneFiles::saveAndClear(pane, dir.path(), QStringLiteral("10.0.0.1:a"), kAt)).fileName(),
              QStringLiteral("rep10.0.0.120261207143006.txt"));
}

TEST(PaneFiles, AShownReportIsSavedUnderTheCaretLinesAddressAndOnlyItIsCleared)
{
    QTemporaryDir dir;
    InfoPane pane;
    pane.addInfo(QStringLiteral("info stays"));
    pane.report().append(QStringLiteral("report line"));
    pane.setReportShown(true);
    const QString path = PaneFiles::saveAndClear(pane, dir.path(), QStringLiteral(" 192.168.1.1 :路由=100%,0"), kAt);
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("rep192.168.1.120261207143005.txt"));
    EXPECT_EQ(readAll(path), QByteArray("report line\r\n"));
    EXPECT_TRUE(pane.reportShown());
    EXPECT_EQ(pane.report().count(), 0);
    EXPECT_EQ(pane.info().count(), 1);
}

TEST(PaneFiles, ReportFileNamesForOddCaretLines)
{
    EXPECT_EQ(PaneFiles::reportAddress(QString()), QString());
    EXPECT_EQ(PaneFiles::reportAddress(QStringLiteral("host-without-colon ")), QStringLiteral("host-without-colon "));
    // A line cannot steer the report file out of the program's folder.
    EXPECT_EQ(PaneFiles::reportAddress(QStringLiteral("../../etc/x:name")), QStringLiteral(".._.._etc_x"));
    EXPECT_EQ(QFileInfo(PaneFiles::reportFilePath(QStringLiteral("/data"), QString(), kAt)).fileName(),
              QStringLiteral("rep20261207143005.txt"));
}

TEST(PaneFiles, AFailedSaveRaisesTheFileErrorAndLosesNothing)
{
    QTemporaryDir dir;
    InfoPane pane;
    pane.addInfo(QStringLiteral("keep me"));
    const QString missing = dir.filePath(QStringLiteral("gone"));
    try {
        PaneFiles::saveAndClear(pane, missing, QString(), kAt);
        FAIL() << "saving into a missing folder succeeded";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("Cannot create file \"%1/log").arg(missing)))
            << e.text().toStdString();
    }
    EXPECT_EQ(pane.info().lines(), QStringList{QStringLiteral("keep me")});
}

TEST(PaneFiles, OnAFullDiskSaveAndClearSaysWhyAndKeepsThePane)
{
    ScratchMount disk;
    if (disk.unavailable())
        GTEST_SKIP() << disk.unavailable();
    InfoPane pane;
    pane.addInfo(QStringLiteral("keep me"));
    disk.fill();
    const QString log = PaneFiles::logFilePath(disk.path(), kAt);
    try {
        PaneFiles::saveAndClear(pane, disk.path(), QString(), kAt);
        FAIL() << "saving on a full disk succeeded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Cannot create file \"%1\". No space left on device").arg(log));
    }
    EXPECT_EQ(pane.info().lines(), QStringList{QStringLiteral("keep me")});
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral(".filler")});
}
