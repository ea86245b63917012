#pragma once

#include <QByteArray>
#include <QHash>

#include <deque>

// Recognises a datagram that repeats one taken from the same sender a moment before: a station that
// sends the same alarm over and over within seconds has it taken once. What is remembered is bounded
// by the datagrams of one span.
class RepeatedAlarms {
public:
    static constexpr qint64 kSpanMs = 5'000;

    explicit RepeatedAlarms(qint64 spanMs = kSpanMs)
        : m_spanMs(spanMs)
    {}

    // True when the same payload came from the same sender and was taken less than the span before
    // `nowMs` (monotonic milliseconds). Otherwise it is taken now.
    bool isRepeat(quint32 sender, const QByteArray& payload, qint64 nowMs);
    // Forgets every datagram taken.
    void clear();

private:
    struct Taken {
        qint64 at;
        size_t key;
    };

    qint64 m_spanMs;
    std::deque<Taken> m_order; // oldest first
    QHash<size_t, qint64> m_takenAt;
};
