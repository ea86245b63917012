#include "desktop/AlarmNotices.h"

QString AlarmNotices::noticeText(const QStringList& addresses)
{
    const QString named = addresses.mid(0, kNamedAddresses).join(QStringLiteral("、"));
    const QString more = addresses.size() > kNamedAddresses ? QStringLiteral("等") : QString();
    return QStringLiteral("%1%2，共%3个地址").arg(named, more).arg(addresses.size());
}

void AlarmNotices::cycleAlarm(const QString& address)
{
    // An address both lossy and slow raises two alarms, but it is one address.
    m_cycle.add(address);
    m_alarming.insert(address);
}

std::optional<AlarmNotices::Notice> AlarmNotices::cycleEnded()
{
    if (m_cycle.isEmpty())
        return std::nullopt;
    return Notice{cycleTitle(), noticeText(m_cycle.take())};
}

std::optional<AlarmNotices::Notice> AlarmNotices::receivedAlarm(const QString& address, qint64 nowMs)
{
    m_alarming.insert(address);
    if (m_lastReceivedNotice && nowMs - *m_lastReceivedNotice < kReceivedGapMs) {
        m_heldBack.add(address);
        return std::nullopt;
    }
    m_lastReceivedNotice = nowMs;
    return Notice{receivedTitle(), noticeText({address})};
}

std::optional<qint64> AlarmNotices::heldBackDue() const
{
    if (m_heldBack.isEmpty() || !m_lastReceivedNotice)
        return std::nullopt;
    return *m_lastReceivedNotice + kReceivedGapMs;
}

std::optional<AlarmNotices::Notice> AlarmNotices::takeHeldBack(qint64 nowMs)
{
    const std::optional<qint64> due = heldBackDue();
    if (!due || nowMs < *due)
        return std::nullopt;
    m_lastReceivedNotice = nowMs;
    return Notice{receivedTitle(), noticeText(m_heldBack.take())};
}

void AlarmNotices::alarmCleared()
{
    // What the cycle raised so far has been dealt with (the operator's Cancel); a cycle that goes on
    // tells only of what follows. Received alarms held back are still told: the reset at the start of
    // every cycle must not swallow them.
    m_cycle.take();
    m_alarming.clear();
}
