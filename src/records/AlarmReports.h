#pragma once

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What an alarm report reads: the log files in the program's folder whose name carries a date
// inside the chosen period, and in them every line that holds the address key. The window fills
// its report pane from here; the command line prints the same lines.
namespace AlarmReports {

enum class Period { History, Today, Month, Year };

// First and last day of a period. Both null for the history, which takes every log file.
struct Bounds {
    QDate start;
    QDate end;
    bool coversAll() const { return start.isNull() || end.isNull(); }
};

// The period around the given local date: the day, its month (28 to 31 days) or its year.
Bounds periodBounds(Period period, QDate today);

// "history", "today", "month" or "year"; nothing for any other word.
std::optional<Period> periodFromName(QStringView name);

// A date as the file names carry it: eight digits, year, month, day.
QString dateKey(QDate date);

// "log" at the start and ".txt" as extension, letters in any case. Report files ("rep...") never are.
bool isLogFileName(QStringView fileName);

// The eight characters after "log" compared as text with the bounds; a history takes every name.
bool fileDateInPeriod(QStringView fileName, const Bounds& bounds);

// A file that a log walk may read: a regular file (not a link, not a pipe or device), owner-writable
// (read-only logs are left alone, as they always were), whose name does not start with "." and is
// a log file name.
bool isCandidate(const QFileInfo& info);

// Ascending, letters without regard to case, so that log + time stamp names come in writing order.
void sortLogNames(QStringList& names);

// Full paths of the candidate log files of the folder within the period, sorted by name.
QStringList logCandidates(const QString& folder, const Bounds& bounds);

// Reads the files in the given order and hands every line that contains the address key (GBK
// bytes, letter case counts) to onLine, decoded from GBK, in file and line order. An empty key
// matches nothing and no file is read. A file that cannot be opened or read ends the walk with an
// AppError carrying the system's reason; the lines handed out before stay handed out.
void collectMatchingLines(const QStringList& files, const QString& addressKey,
                          const std::function<void(const QString&)>& onLine);

// The whole report of a period for a folder: candidates, then matching lines (as above).
void buildReport(const QString& folder, const Bounds& bounds, const QString& addressKey,
                 const std::function<void(const QString&)>& onLine);

} // namespace AlarmReports
