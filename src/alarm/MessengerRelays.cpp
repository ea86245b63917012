#include "alarm/MessengerRelays.h"

MessengerRelays::MessengerRelays(std::function<void(const QString&, int)> sendHeld, int minuteMs, QObject* parent)
    : QObject(parent)
    , m_sendHeld(std::move(sendHeld))
{
    m_minute.setSingleShot(true);
    m_minute.setInterval(minuteMs);
    connect(&m_minute, &QTimer::timeout, this, &MessengerRelays::endOfMinute);
}

bool MessengerRelays::take(const QString& text)
{
    if (!m_minute.isActive()) {
        m_minute.start();
        return true;
    }
    ++m_count;
    if (m_held.size() < kMaxHeld) {
        if (!m_held.isEmpty())
            m_held += u' ';
        m_held += text.left(kMaxHeld - m_held.size());
    }
    return false;
}

void MessengerRelays::endOfMinute()
{
    if (m_count == 0)
        return;
    const QString held = std::exchange(m_held, QString());
    const int count = std::exchange(m_count, 0);
    // What goes out now opens the next minute: a flood that goes on sends one message a minute.
    m_minute.start();
    m_sendHeld(held, count);
}
