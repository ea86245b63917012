#pragma once

#include <QDate>
#include <QString>
#include <QTextStream>

// The alarm report from the command line (--report PERIOD --address KEY): the lines that the
// report pane would show, printed without starting the monitor.
struct ReportCommandResult {
    int exitCode = 0;  // 0 done (also when nothing was found), 1 a log file could not be read, 2 bad period
    QString errorText; // for standard error; empty when exitCode is 0
};

// Prints every matching line of the period's log files in dataDir to out, one per line (the stream
// decides the encoding; UTF-8 by default). The key is taken as given, not trimmed.
ReportCommandResult runReportCommand(const QString& dataDir, const QString& period, const QString& addressKey,
                                     QTextStream& out, QDate today = QDate::currentDate());
