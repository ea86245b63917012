#include "alarm/AlarmBurst.h"

void AlarmBurst::openWindow(qint64 nowMs)
{
    m_open = true;
    m_windowEnd = nowMs + m_windowMs;
    m_deferredOwed = false;
}

bool AlarmBurst::admit(qint64 nowMs)
{
    if (!windowOpen(nowMs)) {
        openWindow(nowMs);
        return true;
    }
    m_deferredOwed = true;
    return false;
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

void AlarmBurst::cancel()
{
    m_open = false;
    m_deferredOwed = false;
}
