#include "alarm/RepeatedAlarms.h"

namespace {

// A text taken counts as the start of a longer one only from this length on: shorter ones would
// match too much that merely begins alike.
constexpr qsizetype kMinPrefix = 16;

bool repeats(const QByteArray& payload, const QByteArray& taken)
{
    return payload == taken || (taken.size() >= kMinPrefix && payload.startsWith(taken));
}

} // namespace

bool RepeatedAlarms::isRepeat(quint32 sender, const QByteArray& payload, qint64 nowMs)
{
    while (!m_taken.empty() && m_taken.front().at <= nowMs - m_spanMs)
        m_taken.pop_front();
    for (const Taken& taken : m_taken)
        if (taken.sender == sender && repeats(payload, taken.payload))
            return true;
    if (int(m_taken.size()) >= kMaxKept)
        m_taken.pop_front();
    m_taken.push_back({nowMs, sender, payload});
    return false;
}

void RepeatedAlarms::clear()
{
    m_taken.clear();
}
