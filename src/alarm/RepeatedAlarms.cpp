#include "alarm/RepeatedAlarms.h"

bool RepeatedAlarms::isRepeat(quint32 sender, const QByteArray& payload, qint64 nowMs)
{
    while (!m_order.empty() && m_order.front().at <= nowMs - m_spanMs) {
        const auto found = m_takenAt.constFind(m_order.front().key);
        if (found != m_takenAt.cend() && found.value() == m_order.front().at)
            m_takenAt.erase(found);
        m_order.pop_front();
    }
    const size_t key = qHashMulti(0, sender, payload);
    if (m_takenAt.contains(key))
        return true;
    m_takenAt.insert(key, nowMs);
    m_order.push_back({nowMs, key});
    return false;
}

void RepeatedAlarms::clear()
{
    m_order.clear();
    m_takenAt.clear();
}
