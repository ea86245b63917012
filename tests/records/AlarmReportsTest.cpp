#include "records/AlarmReports.h"
#include "records/PaneFiles.h"
#include "shared/AddressLine.h"

#include "platform/AppError.h"
#include "platform/CodePage.h"
#include <QFileInfo>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace AlarmReports;

namespace {

struct PeriodCase {
    Period period;
    QDate today;
    const char* start; // "" for none
    const char* end;
};

QString keyOrEmpty(QDate date)
{
    return date.isNull() ? QString() : dateKey(date);
}

void writeGbk(const QString& path, const QStringList& lines)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(CodePage::linesToGbk(lines));
}

QStringList namesOf(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).fileName());
    return names;
}

QStringList report(const QString& folder, const Bounds& bounds, const QString& key)
{
    QStringList lines;
    buildReport(folder, bounds, key, [&](const QString& line) { lines.append(line); });
    return lines;
}

} // namespace

TEST(AlarmReports, PeriodBoundsFollowMonthAndYearEndsAndLeapYears)
{
    const PeriodCase cases[] = {
        {Period::History, QDate(2026, 3, 8), "", ""},
        {Period::Today, QDate(2026, 3, 8), "20260308", "20260308"},
        {Period::Today, QDate(2026, 12, 31), "20261231", "20261231"},
        {Period::Month, QDate(2024, 2, 10), "20240201", "20240229"}, // leap year
        {Period::Month, QDate(2023, 2, 28), "20230201", "20230228"},
        {Period::Month, QDate(2000, 2, 1), "20000201", "20000229"},  // divisible by 400: leap
        {Period::Month, QDate(2100, 2, 15), "21000201", "21000228"}, // divisible by 100: not leap
        {Period::Month, QDate(2026, 4, 30), "20260401", "20260430"},
        {Period::Month, QDate(2026, 12, 31), "20261201", "20261231"},
        {Period::Month, QDate(2027, 1, 1), "20270101", "20270131"},
        {Period::Year, QDate(2024, 2, 29), "20240101", "20241231"},
        {Period::Year, QDate(2026, 12, 31), "20260101", "20261231"},
    };
    for (const PeriodCase& c : cases) {
        const Bounds bounds = periodBounds(c.period, c.today);
        EXPECT_EQ(keyOrEmpty(bounds.start), QString::fromLatin1(c.start)) << c.today.toString().toStdString();
        EXPECT_EQ(keyOrEmpty(bounds.end), QString::fromLatin1(c.end)) << c.today.toString().toStdString();
        EXPECT_EQ(bounds.coversAll(), c.period == Period::History);
    }
}

TEST(AlarmReports, PeriodNamesOfTheCommandLine)
{
    EXPECT_EQ(periodFromName(u"history"), Period::History);
    EXPECT_EQ(periodFromName(u"today"), Period::Today);
    EXPECT_EQ(periodFromName(u"month"), Period::Month);
    EXPECT_EQ(periodFromName(u"year"), Period::Year);
    EXPECT_FALSE(periodFromName(u"week"));
    EXPECT_FALSE(periodFromName(u""));
}

TEST(AlarmReports, LogFileNamesInAnyLetterCase)
{
    const std::pair<const char*, bool> cases[] = {
        {"log20261207143005.txt", true},
        {"LOG20260101120000.TXT", true},
        {"Log.Txt", true},
        {"logbook.txt", true},
        {"log", false},
        {"log20261207143005.txt.bak", false},
        {"log20261207143005.txtx", false},
        {"lo.txt", false},
        {"catalog.txt", false},
        {"rep192.168.1.120261207143005.txt", false},
        {"REP20261207143005.TXT", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(isLogFileName(QString::fromLatin1(name)), expected) << name;
}

TEST(AlarmReports, FileDateIsTheNameNotTheLines)
{
    const Bounds today = periodBounds(Period::Today, QDate(2026, 3, 8));
    const Bounds month = periodBounds(Period::Month, QDate(2026, 2, 14));
    const Bounds all = periodBounds(Period::History, QDate(2026, 3, 8));
    const struct {
        const char* name;
        const Bounds& bounds;
        bool expected;
    } cases[] = {
        {"log20260308000500.txt", today, true}, // written 00:05 on 8 March, whatever its lines say
        {"log20260307235959.txt", today, false},
        {"log20260309000000.txt", today, false},
        {"LOG20260308.TXT", today, true},
        {"log20260201000000.txt", month, true},
        {"log20260228235959.txt", month, true},
        {"log20260301000000.txt", month, false},
        {"log20260131235959.txt", month, false},
        {"log.txt", today, false}, // no date at all: only the history takes it
        {"logbook.txt", today, false},
        {"log.txt", all, true},
        {"logbook.txt", all, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileDateInPeriod(QString::fromLatin1(c.name), c.bounds), c.expected) << c.name;
}

TEST(AlarmReports, SortIgnoresLetterCase)
{
    QStringList names = {"log20260102.txt", "LOG20260101120000.TXT", "log20260101110000.txt", "Log20260101115959.txt"};
    sortLogNames(names);
    EXPECT_EQ(names, QStringList({"log20260101110000.txt", "Log20260101115959.txt", "LOG20260101120000.TXT",
                                  "log20260102.txt"}));
}

TEST(AlarmReports, CandidatesAreWritableRegularLogFilesOnly)
{
    const QTemporaryDir tmp;
    const QDir dir(tmp.path());
    for (const char* name : {"LOG20260101120000.TXT", "log20260102.txt", "log20260103.txt", ".log20260104.txt",
                             "rep10.0.0.120260101120000.txt", "notes.txt", "Para.ini", "log.txt"})
        writeGbk(dir.filePath(QString::fromLatin1(name)), {QStringLiteral("10.0.0.1:A")});
    ASSERT_TRUE(
        QFile::setPermissions(dir.filePath("log20260103.txt"), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    ASSERT_TRUE(dir.mkdir("log20260105.txt"));
    ASSERT_TRUE(QFile::link(dir.filePath("log20260102.txt"), dir.filePath("log20260106.txt")));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("log20260107.txt")).constData(), 0644), 0);

    EXPECT_EQ(namesOf(logCandidates(tmp.path(), {})),
              QStringList({"log.txt", "LOG20260101120000.TXT", "log20260102.txt"}));
    EXPECT_EQ(namesOf(logCandidates(tmp.path(), periodBounds(Period::Today, QDate(2026, 1, 2)))),
              QStringList({"log20260102.txt"}));
    EXPECT_EQ(logCandidates(dir.filePath("missing"), {}), QStringList());
}

TEST(AlarmReports, AddressKeyAndReportFileNameFromTheCaretLine)
{
    const struct {
        QString line;
        QString key;
        QString reportFile;
    } cases[] = {
        {"192.168.1.1:Router=100%,0", "192.168.1.1:Router", "rep192.168.1.120261207143005.txt"},
        {" 10.1.1.1 : 机房 =80%,20", "10.1.1.1 : 机房", "rep10.1.1.120261207143005.txt"},
        {"  10.0.0.1:A  ", "  10.0.0.1:A  ", "rep10.0.0.120261207143005.txt"}, // no "=": the whole line
        {"host=1", "host", "rephost=120261207143005.txt"},                     // no ":": the whole line
        {"", "", "rep20261207143005.txt"},
        {"=100%", "", "rep=100%20261207143005.txt"},
    };
    const QDateTime now(QDate(2026, 12, 7), QTime(14, 30, 5));
    for (const auto& c : cases) {
        EXPECT_EQ(AddressLine::entryKey(c.line), c.key) << c.line.toStdString();
        EXPECT_EQ(QFileInfo(PaneFiles::reportFilePath(QStringLiteral("/data"), c.line, now)).fileName(), c.reportFile)
            << c.line.toStdString();
    }
}

TEST(AlarmReports, ReportHoldsEveryLineWithTheKeyInFileOrder)
{
    const QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeGbk(dir.filePath("log20260308000500.txt"),
             {"2026-03-07 23:59:58 -> 10.0.0.1:机房网络有丢包！！！网络质量：75%,平均RTT：20ms",
              "2026-03-08 00:00:01 -> Ping结束。",
              "2026-03-07 23:59:59 -> 110.0.0.1:X网络正常！网络质量：100%,平均RTT：1ms"});
    writeGbk(dir.filePath("LOG20260307120000.TXT"),
             {"2026-03-07 11:00:00 -> 10.0.0.1:机房二网络恢复正常！！！网络质量：100%,平均RTT：3ms",
              "2026-03-07 11:00:00 -> 10.0.0.2:机房网络正常！网络质量：100%,平均RTT：1ms"});
    writeGbk(dir.filePath("rep10.0.0.120260308000600.txt"), {"2026-03-07 23:59:58 -> 10.0.0.1:机房 in a report file"});
    writeGbk(dir.filePath("log.txt"), {"10.0.0.1:机房 in an undated log"});

    // 10.0.0.1:机房 is part of 10.0.0.1:机房二, and 10.0.0.1 is part of 110.0.0.1: both are collected.
    EXPECT_EQ(report(tmp.path(), {}, "10.0.0.1:机房"),
              QStringList({"10.0.0.1:机房 in an undated log",
                           "2026-03-07 11:00:00 -> 10.0.0.1:机房二网络恢复正常！！！网络质量：100%,平均RTT：3ms",
                           "2026-03-07 23:59:58 -> 10.0.0.1:机房网络有丢包！！！网络质量：75%,平均RTT：20ms"}));
    EXPECT_EQ(report(tmp.path(), {}, "10.0.0.1").size(), 4);
    // The file written at 00:05 on 8 March belongs to the 8th, although its lines are of the 7th.
    EXPECT_EQ(report(tmp.path(), periodBounds(Period::Today, QDate(2026, 3, 8)), "10.0.0.1:机房"),
              QStringList({"2026-03-07 23:59:58 -> 10.0.0.1:机房网络有丢包！！！网络质量：75%,平均RTT：20ms"}));
    EXPECT_EQ(report(tmp.path(), periodBounds(Period::Today, QDate(2026, 3, 7)), "10.0.0.1:机房"),
              QStringList({"2026-03-07 11:00:00 -> 10.0.0.1:机房二网络恢复正常！！！网络质量：100%,平均RTT：3ms"}));
    EXPECT_TRUE(report(tmp.path(), {}, "").isEmpty());
    EXPECT_TRUE(report(tmp.path(), {}, "10.0.0.3").isEmpty());
    EXPECT_TRUE(report(tmp.path(), periodBounds(Period::Year, QDate(2025, 6, 1)), "10.0.0.1").isEmpty());
}

TEST(AlarmReports, BytesThatAreNotGbkDoNotStopTheReport)
{
    const QTemporaryDir tmp;
    QFile file(QDir(tmp.path()).filePath("log20260101.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xff\xfe\x80 10.0.0.1:A \xd5\r\n10.0.0.1:B\r\n");
    file.close();
    const QStringList lines = report(tmp.path(), {}, "10.0.0.1:A");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" 10.0.0.1:A ")));
    EXPECT_FALSE(lines[0].contains(QStringLiteral("10.0.0.1:B")));
}

TEST(AlarmReports, AFileGoneDuringTheWalkEndsItKeepingTheLinesBefore)
{
    const QTemporaryDir tmp;
    const QDir dir(tmp.path());
    writeGbk(dir.filePath("log20260101.txt"), {"first 10.0.0.1:A"});
    writeGbk(dir.filePath("log20260102.txt"), {"second 10.0.0.1:A"});
    writeGbk(dir.filePath("log20260103.txt"), {"third 10.0.0.1:A"});
    const QStringList files = logCandidates(tmp.path(), {});
    ASSERT_EQ(files.size(), 3);
    ASSERT_TRUE(QFile::remove(files[1]));

    QStringList lines;
    try {
        collectMatchingLines(files, "10.0.0.1:A", [&](const QString& line) { lines.append(line); });
        FAIL() << "no error for a file removed during the walk";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.text().contains("log20260102.txt")) << error.text().toStdString();
    }
    EXPECT_EQ(lines, QStringList({"first 10.0.0.1:A"}));
}

TEST(AlarmReports, AVeryLongMatchingLineComesWholeWithItsCharactersIntact)
{
    // Longer than the converter takes at once (16 MiB), with 站 (GBK D5 BE) cut by the slice border.
    const qsizetype border = 16 << 20;
    QByteArray line(border - 1, 'x');
    line += "\xd5\xbe 10.0.0.1:A ";
    line += QByteArray(1 << 20, 'y');
    const QTemporaryDir tmp;
    QFile file(QDir(tmp.path()).filePath("log20260101.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(line + "\r\nnext 10.0.0.1:A\r\n");
    file.close();

    const QStringList lines = report(tmp.path(), {}, "10.0.0.1:A");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].size(), line.size() - 1); // one character for the two bytes of 站
    EXPECT_EQ(lines[0].mid(border - 1, 12), QStringLiteral("站 10.0.0.1:A"));
    EXPECT_EQ(lines[1], QStringLiteral("next 10.0.0.1:A"));
}
