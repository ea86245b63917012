#pragma once

#include "records/HistoryValues.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <ctime>
#include <optional>
#include <vector>

// One address's round-robin file: fixed in size, never growing. Every 5-minute step for 10 days,
// then day by day (average, minimum and maximum) for a little more than a year. A cycle's values
// stand for the steps since the previous cycle, so the time between cycles may change at will.
// Everything here may run on any one thread besides the drawing, which uses none of it.
namespace RrdFile {

inline constexpr int kStep = 300;        // seconds
inline constexpr int kRecentRows = 2880; // 10 days of steps
inline constexpr int kDaySteps = 86400 / kStep;
inline constexpr int kDayRows = 400;           // a year and a month of days
inline constexpr int kHeartbeat = 2 * 86400;   // longest time one cycle may stand for
inline constexpr qint64 kMaxSize = 256 * 1024; // bytes; a file takes a little less
// Data sources, in file order: loss, up, median, rtt1 (fastest) .. rtt4 (slowest).
QStringList sourceNames();

// Creates the file, its first step after `start`; false with a reason when it cannot.
bool create(const QString& path, std::time_t start, QString* error);

// Writes one cycle's values at time t (a step boundary). A time not after the last one is skipped.
bool update(const QString& path, std::time_t t, const HistoryValues& values, QString* error);
// Marks the time up to t as not measured.
bool updateUnknown(const QString& path, std::time_t t, QString* error);

std::optional<std::time_t> lastUpdate(const QString& path, QString* error);

// Rows of one consolidation ("AVERAGE", "MIN", "MAX") between start and end, as the file holds them.
struct Rows {
    std::time_t start = 0; // time of the first row's end minus one step
    unsigned long step = 0;
    QStringList names;
    std::vector<double> values; // row by row, one value per source, NaN when unknown

    int rowCount() const { return names.isEmpty() ? 0 : int(values.size() / names.size()); }
    double at(int row, const QString& name) const { return values[row * names.size() + names.indexOf(name)]; }
    std::time_t rowEnd(int row) const { return start + std::time_t(step) * (row + 1); }
};
std::optional<Rows> fetch(const QString& path, const char* consolidation, std::time_t start, std::time_t end,
                          QString* error);

} // namespace RrdFile
