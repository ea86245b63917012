#pragma once

#include <QString>
#include <QStringList>

// What a ping cycle tells those who keep account of it: each address's verdict as it is written,
// and the end of the cycle with the address list as it then stands.
class CycleObserver {
public:
    struct Verdict {
        QString line; // the address line before its suffix was rewritten
        bool up;      // at least one echo request was answered
        int quality;  // the stored quality now written, in per cent
        int rttMs;    // the stored average round-trip time now written
        int requests; // echo requests sent in this cycle
        int answers;  // of those, answered
    };
    struct CycleEnd {
        qint64 durationMs;
        int intervalMinutes; // the pause the countdown then waits before the next cycle
        QStringList lines;   // every address line at the end of the cycle
    };

    virtual ~CycleObserver() = default;
    virtual void addressJudged(const Verdict& verdict) = 0;
    virtual void cycleEnded(const CycleEnd& end) = 0;
};
