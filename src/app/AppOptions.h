#pragma once

#include "metrics/MetricsEndpoint.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of the monitor.
struct AppOptions {
    QString dataDir; // the program's folder; empty: the executable's folder
    bool headless = false;
    bool testMail = false; // send the test mail once after start-up, then end
    int cycles = 0;        // end in order once this many ping cycles have ended; 0: run on
    QString reportPeriod;  // --report: print the alarm report of this period and end
    QString reportAddress; // --address: the address key of that report
    QString graphKey;      // --graph: draw the latency graph of this entry key and end
    QString graphRange;    // --range: 3h, 30h, 10d or 1y
    QString graphOut;      // --out: the PNG file
    bool help = false;     // --help, -h: print the usage and end
    bool version = false;  // --version: print the version and end
    QStringList modems;    // --modem, repeatable: serial devices offered as telephone lines besides those found
    std::optional<MetricsEndpoint> metrics; // --metrics [ADDRESS:]PORT

    // Parses the arguments (the program name first). On a usage error returns nullopt and sets *error.
    static std::optional<AppOptions> parse(const QStringList& arguments, QString* error);
    static QString usage();
};
