#pragma once

#include <QByteArray>

#include <deque>

// Recognises a datagram that repeats one taken from the same sender a moment before: a station that
// sends the same alarm over and over within seconds has it taken once. A text that begins with one
// taken from the same sender counts as a repeat too: it is that alarm come back with a relay's words
// added, which is how a ring of stations that relay to each other (A to B to C to A) would pass one
// alarm round for ever. What is remembered is bounded by the span and by kMaxKept.
class RepeatedAlarms {
public:
    static constexpr qint64 kSpanMs = 5'000;
    // The most texts kept at once; beyond it the oldest is forgotten early.
    static constexpr int kMaxKept = 1'000;

    explicit RepeatedAlarms(qint64 spanMs = kSpanMs)
        : m_spanMs(spanMs)
    {}

    // True when the same payload, or one it begins with, came from the same sender and was taken less
    // than the span before `nowMs` (monotonic milliseconds). Otherwise it is taken now.
    bool isRepeat(quint32 sender, const QByteArray& payload, qint64 nowMs);
    // Forgets every datagram taken.
    void clear();

private:
    struct Taken {
        qint64 at;
        quint32 sender;
        QByteArray payload;
    };

    qint64 m_spanMs;
    std::deque<Taken> m_taken; // oldest first
};
