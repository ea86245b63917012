#include "records/ReportCommand.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CommandRun {
    ReportCommandResult result;
    QByteArray output;
};

CommandRun run(const QString& dir, const QString& period, const QString& key)
{
    CommandRun r;
    QTextStream out(&r.output);
    r.result = runReportCommand(dir, period, key, out, QDate(2026, 3, 8));
    return r;
}

} // namespace

TEST(ReportCommand, PrintsTheReportLinesInUtf8)
{
    const QTemporaryDir tmp;
    QFile file(QDir(tmp.path()).filePath("log20260308000500.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(CodePage::linesToGbk({"2026-03-07 23:59:58 -> 10.0.0.1:机房网络有丢包！！！",
                                     "2026-03-08 00:00:01 -> Ping结束。",
                                     "2026-03-08 00:00:02 -> 10.0.0.1:机房网络恢复正常！！！"}));
    file.close();

    const CommandRun today = run(tmp.path(), "today", "10.0.0.1:机房");
    EXPECT_EQ(today.result.exitCode, 0);
    EXPECT_TRUE(today.result.errorText.isEmpty());
    EXPECT_EQ(today.output, QStringLiteral("2026-03-07 23:59:58 -> 10.0.0.1:机房网络有丢包！！！\n"
                                           "2026-03-08 00:00:02 -> 10.0.0.1:机房网络恢复正常！！！\n")
                                .toUtf8());
    // A key taken as given: blanks around it are part of it.
    EXPECT_TRUE(run(tmp.path(), "history", "10.0.0.1:机房 ").output.isEmpty());
    EXPECT_TRUE(run(tmp.path(), "month", "10.0.0.1:机房").output.size() > 0);
    const CommandRun lastYear = run(tmp.path(), "year", "10.0.0.1:机房");
    EXPECT_EQ(lastYear.output.size(), today.output.size());
}

TEST(ReportCommand, NothingFoundPrintsNothing)
{
    const QTemporaryDir tmp;
    const CommandRun r = run(tmp.path(), "history", "10.0.0.9:无");
    EXPECT_EQ(r.result.exitCode, 0);
    EXPECT_TRUE(r.output.isEmpty());
}

TEST(ReportCommand, AnUnknownPeriodIsAnErrorForStandardError)
{
    const QTemporaryDir tmp;
    const CommandRun r = run(tmp.path(), "week", "10.0.0.1");
    EXPECT_EQ(r.result.exitCode, 2);
    EXPECT_TRUE(r.result.errorText.contains("week"));
    EXPECT_TRUE(r.output.isEmpty());
}
