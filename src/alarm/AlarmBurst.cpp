#include "alarm/AlarmBurst.h"

void AlarmBurst::openWindow(qint64 nowMs)
{
    m_open = true;
    m_windowEnd = nowMs + m_windowMs;
    m_admitted = 0;
    m_deferredOwed = false;
}

AlarmBurst::Admission AlarmBurst::admit(qint64 nowMs)
{
    if (!windowOpen(nowMs)) {
        openWindow(nowMs);
        m_admitted = 1;
        return {true, true};
    }
    ++m_admitted;
    m_deferredOwed = true;
    return {m_admitted <= m_immediateLimit, false};
}

bool AlarmBurst::closeWindow(qint64 nowMs)
{
    if (!m_open)
        return false;
    if (!m_deferredOwed) {
        m_open = false;
        return false;
    }
    openWindow(nowMs);
    return true;
}
