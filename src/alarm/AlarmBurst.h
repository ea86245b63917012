#pragma once

#include <QtGlobal>

// Keeps a flood of received alarms from sending a mail and placing a call for every one. The first
// alarm after a quiet spell opens a window and runs the slow channels (mail, telephone) at once.
// The alarms after it within the window are owed one more run of them when the window closes, and
// that run opens the next window. A burst thus sends one mail at once and at most one per window
// after it, however many datagrams it brings; the mail carries the whole information pane, so it
// tells of every one of them.
//
// The operator's cancel ends the burst: what came before it is dealt with, and the next alarm opens
// a new window with a run of its own.
class AlarmBurst {
public:
    static constexpr qint64 kDefaultWindowMs = 60'000;

    explicit AlarmBurst(qint64 windowMs = kDefaultWindowMs)
        : m_windowMs(windowMs)
    {}

    // One accepted alarm at the time (monotonic milliseconds): true when the slow channels run for
    // it now, which opens a window.
    bool admit(qint64 nowMs);

    bool windowOpen(qint64 nowMs) const { return m_open && nowMs < m_windowEnd; }
    qint64 windowMs() const { return m_windowMs; }

    // The window's end has come: true when the slow channels are owed a run, which opens the next
    // window at the time; false closes it.
    bool closeWindow(qint64 nowMs);

    // The operator cancelled the alarm: the window closes and nothing is owed.
    void cancel();

private:
    void openWindow(qint64 nowMs);

    qint64 m_windowMs;
    bool m_open = false;
    qint64 m_windowEnd = 0;
    bool m_deferredOwed = false;
};
