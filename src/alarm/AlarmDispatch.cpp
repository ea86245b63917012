#include "alarm/AlarmDispatch.h"

#include "platform/AppError.h"
#include "platform/CodePage.h"

AlarmDispatch::AlarmDispatch(std::function<Switches()> switches, std::function<void(const QString&)> addInfo)
    : m_switches(std::move(switches))
    , m_addInfo(std::move(addInfo))
{}

void AlarmDispatch::DispatchAlarm(const QString& address)
{
    DispatchAlarm(address, CodePage::toGbk(address));
}

void AlarmDispatch::DispatchAlarm(const QString& address, const QByteArray& gbkAddress)
{
    if (m_currentCode <= 0)
        return;
    if (alarmDispatched)
        alarmDispatched(m_currentCode, address);
    if (m_tally)
        m_tally->alarmRaised(m_currentCode);
    const Switches on = m_switches();
    // Sound first, then the network: the local operator hears it before other stations are told.
    if (on.sound && playAlarmSound)
        playAlarmSound(m_currentCode, address);
    if (on.network && sendNetworkAlarm)
        sendNetworkAlarm(m_currentCode, gbkAddress);
}

void AlarmDispatch::DispatchDeferredAlarms(Failures failures)
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
        try {
            m_telephone.callNextNumber();
            tallySent(AlarmChannel::Telephone, true);
        } catch (const AppError& e) {
            tallySent(AlarmChannel::Telephone, false);
            failed(e.text(), failures);
        } catch (const std::exception& e) {
            tallySent(AlarmChannel::Telephone, false);
            failed(QString::fromLocal8Bit(e.what()), failures);
        }
    }
}

void AlarmDispatch::failed(const QString& text, Failures failures)
{
    if (failures == Failures::Line) {
        if (m_addInfo)
            m_addInfo(text);
    } else if (showError) {
        showError(text);
    }
}
