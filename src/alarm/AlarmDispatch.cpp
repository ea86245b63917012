#include "alarm/AlarmDispatch.h"

AlarmDispatch::AlarmDispatch(std::function<Switches()> switches, std::function<void(const QString&)> addInfo)
    : m_switches(std::move(switches))
    , m_addInfo(std::move(addInfo))
{}

void AlarmDispatch::DispatchAlarm(const QString& address)
{
    if (m_currentCode <= 0)
        return;
    const Switches on = m_switches();
    // Sound first, then the network: the local operator hears it before other stations are told.
    if (on.sound && playAlarmSound)
        playAlarmSound(m_currentCode, address);
    if (on.network && sendNetworkAlarm)
        sendNetworkAlarm(m_currentCode, address);
}

void AlarmDispatch::DispatchDeferredAlarms()
{
    if (m_currentCode <= 0)
        return;
    if (m_switches().mail && sendAlarmMail)
        sendAlarmMail(mailSubject());
    // The mail always goes before the call sequence starts.
    if (m_switches().telephone && hasTelephoneChannel()) {
        const QString entry = m_telephone.currentEntry ? m_telephone.currentEntry() : QString();
        if (m_addInfo)
            m_addInfo(QStringLiteral("正常拨号:") + entry + QStringLiteral("......"));
        m_telephone.callNextNumber();
    }
}
