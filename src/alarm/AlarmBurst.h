#pragma once

#include <QtGlobal>

// Keeps a flood of received alarms from taking the monitor down. The first alarm after a quiet
// spell opens a window: it reaches every channel at once, and the slow channels (mail, telephone)
// run for it right away. Within the window only the first kImmediateLimit alarms reach the quick
// channels (sound, relay); the slow ones run once more when the window closes, if any alarm came
// after the first, and that opens the next window. A burst thus sends at most one mail at once and
// one per window after it, however many datagrams it brings.
class AlarmBurst {
public:
    static constexpr qint64 kDefaultWindowMs = 60'000;
    static constexpr int kImmediateLimit = 20;

    struct Admission {
        bool immediateChannels; // sound and relay for this alarm
        bool deferredNow;       // mail and telephone for this alarm, now
    };

    explicit AlarmBurst(qint64 windowMs = kDefaultWindowMs, int immediateLimit = kImmediateLimit)
        : m_windowMs(windowMs)
        , m_immediateLimit(immediateLimit)
    {}

    // One accepted alarm at the time (monotonic milliseconds).
    Admission admit(qint64 nowMs);

    bool windowOpen(qint64 nowMs) const { return m_open && nowMs < m_windowEnd; }
    qint64 windowEnd() const { return m_windowEnd; }
    qint64 windowMs() const { return m_windowMs; }

    // The window's end has come: true when the slow channels are owed a run, which opens the next
    // window at the time; false closes it.
    bool closeWindow(qint64 nowMs);

private:
    void openWindow(qint64 nowMs);

    qint64 m_windowMs;
    int m_immediateLimit;
    bool m_open = false;
    qint64 m_windowEnd = 0;
    int m_admitted = 0;
    bool m_deferredOwed = false;
};
