// History report over a year of log files beside grep -F over the same files.
//
// 365 log files of 10,000 GBK verdict lines each, for 50 addresses, are written to a temporary
// folder; then the report of one address is built the way the window builds it (lines decoded into
// a list) and timed beside `grep -F -h KEY log*.txt` (output to a file, not /dev/null, which grep
// would take as leave to stop at the first match). Each is run once to warm the page cache and then
// timed as the best of five runs.

#include "platform/CodePage.h"
#include "records/AlarmReports.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kFiles = 365;
constexpr int kLinesPerFile = 10000;
constexpr int kAddresses = 50;

QString entryKey(int address)
{
    return QStringLiteral("10.0.%1.%2:机房%3").arg(address / 10).arg(address % 10 + 1).arg(address);
}

QString verdict(int n, int address, QDate day)
{
    static const QStringList kinds = {
        QStringLiteral("网络正常！网络质量："), QStringLiteral("网络有丢包！！！网络质量："),
        QStringLiteral("网络响应时间(RTT)过大！！！网络质量："), QStringLiteral("网络恢复正常！！！网络质量：")};
    const QTime time = QTime(0, 0).addSecs((n * 7) % 86400);
    return day.toString(QStringLiteral("yyyy-MM-dd ")) + time.toString(QStringLiteral("HH:mm:ss")) +
           QStringLiteral(" -> ") + entryKey(address) + kinds[n % kinds.size()] + QString::number(100 - n % 50) +
           QStringLiteral("%,平均RTT：") + QString::number(n % 900) + QStringLiteral("ms");
}

qint64 writeLogs(const QString& folder)
{
    qint64 total = 0;
    const QDate first(2025, 1, 1);
    for (int f = 0; f < kFiles; ++f) {
        const QDate day = first.addDays(f);
        QStringList lines;
        lines.reserve(kLinesPerFile);
        for (int n = 0; n < kLinesPerFile; ++n)
            lines.append(n % 100 == 0 ? day.toString("yyyy-MM-dd") + QStringLiteral(" 12:00:00 -> Ping开始...")
                                      : verdict(n + f, (n * 31 + f) % kAddresses, day));
        const QByteArray bytes = CodePage::linesToGbk(lines);
        QFile file(
            QDir(folder).filePath(QStringLiteral("log") + day.toString("yyyyMMdd") + QStringLiteral("235959.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return -1;
        total += bytes.size();
    }
    return total;
}

template <typename F>
double bestOf(int runs, F&& work)
{
    work(); // warm the page cache
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    std::printf("writing %d log files of %d lines ...\n", kFiles, kLinesPerFile);
    const qint64 bytes = writeLogs(tmp.path());
    if (bytes < 0) {
        std::fprintf(stderr, "could not write the log files\n");
        return 1;
    }
    const QString key = entryKey(17);
    qsizetype reportLines = 0;
    const double reportMs = bestOf(5, [&] {
        QStringList lines;
        AlarmReports::buildReport(tmp.path(), {}, key, [&](const QString& line) { lines.append(line); });
        reportLines = lines.size();
    });

    // The key goes to grep as GBK bytes (GBK second bytes are never a quote, so single quotes hold it),
    // and grep reads bytes as bytes in the C locale, as the report does.
    const QByteArray command = "cd '" + QFile::encodeName(tmp.path()) + "' && LC_ALL=C grep -F -h -- '" +
                               CodePage::toGbk(key) + "' log*.txt > '" + QFile::encodeName(tmp.path()) + "/grep.out'";
    int grepStatus = 0;
    const double grepMs = bestOf(5, [&] { grepStatus = std::system(command.constData()); });
    QFile grepOut(QDir(tmp.path()).filePath("grep.out"));
    qsizetype grepLines = 0;
    if (grepOut.open(QIODevice::ReadOnly))
        grepLines = CodePage::splitLines(grepOut.readAll()).size();

    std::printf("data: %d files, %.1f MB, key %s\n", kFiles, bytes / 1e6, key.toUtf8().constData());
    std::printf("history report: %.1f ms, %lld lines (%.0f MB/s)\n", reportMs, static_cast<long long>(reportLines),
                bytes / 1e3 / reportMs);
    std::printf("grep -F -h:     %.1f ms, %lld lines (status %d)\n", grepMs, static_cast<long long>(grepLines),
                grepStatus);
    std::printf("ratio report / grep: %.2f (goal: at most 2)\n", reportMs / grepMs);
    if (reportLines != grepLines)
        std::printf("NOTE: line counts differ\n");
    return 0;
}
