// The history store on real round-robin files: what a cycle leaves in them, read back with the
// library's own fetch; restarts, changed intervals, the year's consolidation; and a damaged file,
// a read-only and a full folder.
#include "HistoryTestSupport.h"
#include "ScratchMount.h"

#include "records/HistoryFileName.h"
#include "records/RrdFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr qint64 kT0 = 1796799900; // a step boundary (a multiple of 300)

RrdFile::Rows fetch(const QString& path, const char* consolidation, qint64 from, qint64 to)
{
    QString error;
    const auto rows = RrdFile::fetch(path, consolidation, from, to, &error);
    EXPECT_TRUE(rows) << error.toStdString();
    return rows.value_or(RrdFile::Rows{});
}

// The value of the row that ends at t.
double valueAt(const RrdFile::Rows& rows, qint64 t, const char* name)
{
    for (int r = 0; r < rows.rowCount(); ++r) {
        if (rows.rowEnd(r) == t)
            return rows.at(r, QString::fromLatin1(name));
    }
    ADD_FAILURE() << "no row ends at " << t;
    return NAN;
}

} // namespace

TEST(HistoryStore, KeepsEachCyclesRoundTripsAndLossAndContinuesAfterARestart)
{
    QTemporaryDir dir;
    const QString key = QStringLiteral("10.0.0.1:机房/交换机");
    {
        StoreUnderTest s(dir.path());
        s.write({sampleAt(key, kT0 + 1, {10, 20, 30, 40}, 4), sampleAt(QStringLiteral("10.0.0.2:b"), kT0 + 2, {5}, 4)});
        s.write({sampleAt(key, kT0 + 301, {12, 14}, 4)});
        EXPECT_TRUE(s.lines.isEmpty()) << s.lines.join('\n').toStdString();
    }
    StoreUnderTest s(dir.path()); // the monitor started again
    s.write({sampleAt(key, kT0 + 601, {}, 4)});
    s.write({sampleAt(key, kT0 + 901, {100, 101, 102, 103}, 4)});
    const QString path = s.store().filePath(key);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    EXPECT_LE(QFileInfo(path).size(), 256 * 1024);

    const RrdFile::Rows rows = fetch(path, "AVERAGE", kT0, kT0 + 1200);
    const qint64 t1 = kT0 + 300; // where the first cycle's values stand
    EXPECT_EQ(valueAt(rows, t1, "median"), 25);
    EXPECT_EQ(valueAt(rows, t1, "rtt1"), 10);
    EXPECT_EQ(valueAt(rows, t1, "rtt2"), 20);
    EXPECT_EQ(valueAt(rows, t1, "rtt3"), 30);
    EXPECT_EQ(valueAt(rows, t1, "rtt4"), 40);
    EXPECT_EQ(valueAt(rows, t1, "loss"), 0);
    EXPECT_EQ(valueAt(rows, t1 + 300, "loss"), 0.5);
    EXPECT_EQ(valueAt(rows, t1 + 300, "median"), 13);
    EXPECT_EQ(valueAt(rows, t1 + 600, "loss"), 1);
    EXPECT_EQ(valueAt(rows, t1 + 600, "up"), 0);
    EXPECT_TRUE(std::isnan(valueAt(rows, t1 + 600, "median")));
    EXPECT_EQ(valueAt(rows, t1 + 900, "rtt4"), 103);
}

TEST(HistoryStore, AChangedIntervalKeepsTheHistoryReadableAndMissedCyclesStayUnmeasured)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const QString key = QStringLiteral("k");
    // Every 30 minutes, then every 5, then nothing for two hours (the monitor paused).
    s.write({sampleAt(key, kT0, {20}, 1, 1800)});
    s.write({sampleAt(key, kT0 + 1800, {30}, 1, 1800)});
    s.write({sampleAt(key, kT0 + 2100, {40}, 1, 300)});
    s.write({sampleAt(key, kT0 + 2100 + 7200, {50}, 1, 300)});
    const RrdFile::Rows rows = fetch(s.store().filePath(key), "AVERAGE", kT0, kT0 + 9300);
    for (qint64 t = kT0 + 300; t <= kT0 + 1800; t += 300)
        EXPECT_EQ(valueAt(rows, t, "median"), 30) << t - kT0; // one cycle stands for its half hour
    EXPECT_EQ(valueAt(rows, kT0 + 2100, "median"), 40);
    EXPECT_TRUE(std::isnan(valueAt(rows, kT0 + 5400, "median")));
    EXPECT_TRUE(std::isnan(valueAt(rows, kT0 + 9000, "median")));
    EXPECT_EQ(valueAt(rows, kT0 + 9300, "median"), 50);
}

TEST(HistoryStore, CyclesCloserThanAStepAreGatheredIntoIt)
{
    QTemporaryDir dir;
    const QString key = QStringLiteral("k");
    {
        StoreUnderTest s(dir.path());
        // Every minute: five cycles in the first step, one lost whole, then two in the next.
        s.write({sampleAt(key, kT0 + 60, {10, 11}, 2, 60)});
        s.write({sampleAt(key, kT0 + 120, {}, 2, 60)});
        s.write({sampleAt(key, kT0 + 180, {12, 13}, 2, 60)});
        s.write({sampleAt(key, kT0 + 240, {14, 90}, 2, 60)});
        s.write({sampleAt(key, kT0 + 300, {15, 16}, 2, 60)});
        s.write({sampleAt(key, kT0 + 360, {30}, 2, 60)});
        EXPECT_EQ(valueAt(fetch(s.store().filePath(key), "AVERAGE", kT0, kT0 + 300), kT0 + 300, "loss"), 0.2);
        s.write({sampleAt(key, kT0 + 420, {40}, 2, 60)});
    } // the step still being gathered is written when the monitor ends
    const RrdFile::Rows rows = fetch(QDir(dir.path()).filePath(QStringLiteral("k.rrd")), "AVERAGE", kT0, kT0 + 600);
    EXPECT_EQ(valueAt(rows, kT0 + 300, "rtt1"), 10);
    EXPECT_EQ(valueAt(rows, kT0 + 300, "rtt4"), 90);
    EXPECT_EQ(valueAt(rows, kT0 + 300, "median"), 13.5);
    EXPECT_EQ(valueAt(rows, kT0 + 600, "loss"), 0.5);
    EXPECT_EQ(valueAt(rows, kT0 + 600, "median"), 35);
}

TEST(HistoryStore, TheYearKeepsEachDaysMedianMinimumMaximumAndLoss)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const QString key = QStringLiteral("k");
    const qint64 day = kT0 / 86400 * 86400 + 86400;
    std::vector<HistorySample> samples;
    for (qint64 t = day + 1800; t <= day + 2 * 86400; t += 1800) {
        const bool second = t > day + 86400;
        // The first day answers 20 to 30 ms; the second loses half and answers 100 to 400 ms.
        samples.push_back(second ? sampleAt(key, t, {100, 400}, 4, 1800) : sampleAt(key, t, {20, 30, 20, 30}, 4, 1800));
    }
    s.write(samples);
    const QString path = s.store().filePath(key);
    const qint64 end = day + 2 * 86400;
    const RrdFile::Rows average = fetch(path, "AVERAGE", end - 30 * 86400, end);
    ASSERT_EQ(average.step, 86400u);
    EXPECT_EQ(valueAt(average, day + 86400, "median"), 25);
    EXPECT_EQ(valueAt(average, day + 86400, "loss"), 0);
    EXPECT_EQ(valueAt(average, end, "median"), 250);
    EXPECT_EQ(valueAt(average, end, "loss"), 0.5);
    EXPECT_EQ(valueAt(fetch(path, "MIN", end - 30 * 86400, end), day + 86400, "rtt1"), 20);
    EXPECT_EQ(valueAt(fetch(path, "MAX", end - 30 * 86400, end), end, "rtt4"), 400);
}

TEST(HistoryStore, ADamagedFileIsSetAsideAndANewOneBegun)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const QString key = QStringLiteral("10.0.0.1:机房");
    s.write({sampleAt(key, kT0, {10}, 1)});
    const QString path = s.store().filePath(key);
    struct Damage {
        const char* what;
        std::function<void(QFile&)> apply;
    };
    const Damage damages[] = {
        {"header overwritten", [](QFile& f) { f.write("garbage garbage garbage"); }},
        {"cut short", [](QFile& f) { f.resize(100000); }},
        {"emptied", [](QFile& f) { f.resize(0); }},
    };
    qint64 t = kT0;
    for (const Damage& damage : damages) {
        s.lines.clear();
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            damage.apply(f);
        }
        QFile damaged(path);
        ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
        const QByteArray bytes = damaged.readAll();
        damaged.close();
        // A new store, as after a restart, and the same one again: both find the damage.
        s.write({sampleAt(key, t += 300, {10}, 1)});
        ASSERT_EQ(s.lines.size(), 1) << damage.what;
        EXPECT_TRUE(s.lines[0].startsWith(QStringLiteral("历史记录文件已损坏，已改名为"))) << damage.what;
        const QStringList aside = QDir(dir.path()).entryList({HistoryFileName::fromKey(key) + ".damaged-*"});
        ASSERT_FALSE(aside.isEmpty()) << damage.what;
        QFile kept(QDir(dir.path()).filePath(aside.last()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes) << damage.what << ": set aside as it was";
        EXPECT_EQ(valueAt(fetch(path, "AVERAGE", t - 600, t), t, "median"), 10) << damage.what;
        for (const QString& name : aside)
            QFile::remove(QDir(dir.path()).filePath(name)); // the next damage gets the same time stamp
    }
}

TEST(HistoryStore, AReadOnlyOrFullFolderGivesOneLineAndTheNextWritesGoOn)
{
    for (const bool readOnly : {true, false}) {
        ScratchMount mount("1m");
        if (mount.unavailable())
            GTEST_SKIP() << mount.unavailable();
        const QString folder = mount.filePath(QStringLiteral("history"));
        StoreUnderTest s(folder);
        s.write({sampleAt(QStringLiteral("a"), kT0, {10}, 1)});
        if (readOnly)
            ASSERT_TRUE(mount.makeReadOnly());
        else
            mount.fill();
        for (int cycle = 1; cycle <= 3; ++cycle)
            s.write({sampleAt(QStringLiteral("a"), kT0 + 300 * cycle, {10}, 1),
                     sampleAt(QStringLiteral("new"), kT0 + 300 * cycle, {10}, 1)});
        ASSERT_EQ(s.lines.size(), 1) << s.lines.join('\n').toStdString();
        EXPECT_TRUE(s.lines[0].startsWith(QStringLiteral("历史记录写入失败（"))) << s.lines[0].toStdString();
        EXPECT_TRUE(s.lines[0].contains(folder)) << s.lines[0].toStdString();
        EXPECT_TRUE(s.lines[0].contains(readOnly ? QStringLiteral("Read-only") : QStringLiteral("磁盘空间不足")))
            << s.lines[0].toStdString();
        EXPECT_FALSE(QFileInfo::exists(s.store().filePath(QStringLiteral("new"))));
        // The file that was there before takes its samples (a full disk) or stays as it was.
        const RrdFile::Rows rows = fetch(s.store().filePath(QStringLiteral("a")), "AVERAGE", kT0, kT0 + 900);
        EXPECT_EQ(std::isnan(valueAt(rows, kT0 + 900, "median")), readOnly);
    }
}
