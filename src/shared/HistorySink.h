#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// What one address's echo requests of one cycle came to, for the round-trip history.
struct HistorySample {
    QString key;                     // the address's entry key
    qint64 msecsSinceEpoch = 0;      // when its verdict was given
    std::vector<quint32> roundTrips; // ms, of every echo request that was answered, in the order sent
    int sent = 0;                    // echo requests sent
    int lost = 0;                    // of them not answered
    int intervalSeconds = 0;         // the time between cycles as set when it was taken; 0: not known
};

// Where the ping cycle hands its samples: after each address's verdict, and once at the end of the
// cycle. A sink must not hold the cycle up: it takes the sample and writes it in its own time.
class HistorySink {
public:
    virtual ~HistorySink() = default;
    virtual void record(const HistorySample& sample) = 0;
    virtual void cycleEnded() = 0;
};
