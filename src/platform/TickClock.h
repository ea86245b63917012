#pragma once

#include <QtGlobal>

// The monitor's millisecond tick count: a monotonic clock held in 32 bits that wraps after about
// 49.7 days, as the round-trip times and the wait for an echo reply are computed from it. Tests
// give the probe a clock of their own, for instance one that stands just before the wrap.
class TickClock {
public:
    virtual ~TickClock() = default;

    // Milliseconds since an arbitrary start, modulo 2^32.
    virtual quint32 now() const = 0;

    // The operating system's monotonic clock.
    static const TickClock& system();

    // Milliseconds from `since` to `until`, correct across one wrap of the counter.
    static quint32 elapsed(quint32 since, quint32 until) { return until - since; }
};
