#pragma once

#include <QString>

#include <ctime>

// The latency graph from the command line (--graph KEY --range R --out FILE): drawn from the history
// folder without starting the monitor.
struct GraphCommandResult {
    int exitCode = 0;  // 0 drawn, 1 no history for the key or the graph could not be drawn or written, 2 bad range
    QString errorText; // for standard error; empty when exitCode is 0
};

GraphCommandResult runGraphCommand(const QString& historyFolder, const QString& key, const QString& range,
                                   const QString& outFile, std::time_t end = std::time(nullptr));
