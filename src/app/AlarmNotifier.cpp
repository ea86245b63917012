#include "app/AlarmNotifier.h"

#include "alarm/AlarmDispatch.h"
#include "desktop/NotificationService.h"
#include "desktop/gui/TrayIcon.h"
#include "shared/AlarmKind.h"

AlarmNotifier::AlarmNotifier(AlarmDispatch& dispatch, TrayIcon& tray, std::function<bool()> enabled, QObject* parent)
    : QObject(parent)
    , m_tray(tray)
    , m_enabled(std::move(enabled))
{
    m_clock.start();
    m_heldBackTimer.setSingleShot(true);
    connect(&m_heldBackTimer, &QTimer::timeout, this, &AlarmNotifier::heldBackDue);
    dispatch.alarmDispatched = [this](int code, const QString& address) { alarmDispatched(code, address); };
    dispatch.codeChanged = [this](int code) { codeChanged(code); };
}

void AlarmNotifier::cycleEnded()
{
    deliver(m_notices.cycleEnded());
}

void AlarmNotifier::alarmDispatched(int code, const QString& address)
{
    if (code == Remote) {
        deliver(m_notices.receivedAlarm(address, m_clock.elapsed()));
        scheduleHeldBack();
    } else if (code == Break || code == Bad || code == Slow) {
        m_notices.cycleAlarm(address);
    }
    m_tray.setAlarmingCount(m_notices.alarmingCount());
}

void AlarmNotifier::codeChanged(int code)
{
    if (code != NoAlarm)
        return;
    m_notices.alarmCleared();
    m_tray.setAlarmingCount(0);
}

void AlarmNotifier::scheduleHeldBack()
{
    const std::optional<qint64> due = m_notices.heldBackDue();
    if (due && !m_heldBackTimer.isActive())
        m_heldBackTimer.start(int(qMax<qint64>(0, *due - m_clock.elapsed())));
}

void AlarmNotifier::heldBackDue()
{
    deliver(m_notices.takeHeldBack(m_clock.elapsed()));
}

void AlarmNotifier::deliver(const std::optional<AlarmNotices::Notice>& notice)
{
    if (!notice || !m_enabled())
        return;
    if (m_tray.isAvailable())
        m_tray.showMessage(notice->title, notice->text);
    else
        NotificationService::notify(notice->title, notice->text);
}
