#pragma once

#include "alarm/AlarmTally.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Routes every alarm to the channels the operator has switched on. DispatchAlarm drives the two
// quick channels for one alarm at once (sound, then the network message); DispatchDeferredAlarms
// drives the two slow ones once after a whole ping cycle or a received alarm (the mail, then the
// telephone call sequence). Both read the kind from the current alarm code, which the caller sets
// just before; at 0 or below they do nothing.
//
// A channel is a function that its subsystem fills in when the window wires it; an empty one is a
// channel this build does not have, and its switch then reaches nothing.
class AlarmDispatch {
public:
    // The four switches on the ping page: cbSD, cbTel, cbEmail, cbNet.
    struct Switches {
        bool sound = false;
        bool telephone = false;
        bool mail = false;
        bool network = false;
        bool any() const { return sound || telephone || mail || network; }
    };

    // The telephone channel: the entry of the telephone list at its current position (empty past
    // its end), and the start of the call sequence, which throws when dialling fails.
    struct TelephoneChannel {
        std::function<QString()> currentEntry;
        std::function<void()> callNextNumber;
    };

    static QString mailSubject() { return QStringLiteral("接受监控的网络报警信息"); }

    AlarmDispatch(std::function<Switches()> switches, std::function<void(const QString&)> addInfo);

    // The current alarm code (an AlarmKind, 0 for none).
    int currentCode() const { return m_currentCode; }
    void setCurrentCode(int code)
    {
        if (code == m_currentCode)
            return;
        m_currentCode = code;
        if (codeChanged)
            codeChanged(code);
    }

    Switches switches() const { return m_switches(); }

    // Channels, given the current alarm code and the address text (entry key). The network message
    // takes the address text in GBK, as it goes out: a relayed one as it came.
    std::function<void(int code, const QString& address)> playAlarmSound;
    std::function<void(int code, const QByteArray& address)> sendNetworkAlarm;
    // Returns only when the mail exchange has ended, whether it succeeded or not.
    std::function<void(const QString& subject)> sendAlarmMail;
    void setTelephoneChannel(TelephoneChannel channel) { m_telephone = std::move(channel); }
    bool hasTelephoneChannel() const { return bool(m_telephone.callNextNumber); }

    // How a failed dial reaches the operator: in an error box, or as a line of the information pane
    // (an alarm received from another station, which nobody at this station started).
    enum class Failures { Box, Line };
    std::function<void(const QString& text)> showError;

    // Observers: every alarm dispatched, whichever channels are on (the desktop's notices), and every
    // change of the current alarm code.
    std::function<void(int code, const QString& address)> alarmDispatched;
    std::function<void(int code)> codeChanged;

    void DispatchAlarm(const QString& address);
    // A relayed alarm: the address text as shown and played, and the bytes it came as.
    void DispatchAlarm(const QString& address, const QByteArray& gbkAddress);
    void DispatchDeferredAlarms(Failures failures = Failures::Box);

    // Where raised alarms and the results of sends are counted; null: nowhere. The channels filled
    // in by other subsystems report their results through tallySent.
    void setTally(AlarmTally* tally) { m_tally = tally; }
    void tallySent(AlarmChannel channel, bool ok)
    {
        if (m_tally)
            m_tally->alarmSent(channel, ok);
    }
    void tallyReceived(bool accepted)
    {
        if (m_tally)
            m_tally->datagramReceived(accepted);
    }

    // The operator cancelled the current alarm (after the alarm state reset).
    void alarmCancelled()
    {
        if (onCancel)
            onCancel();
    }
    std::function<void()> onCancel;

private:
    void failed(const QString& text, Failures failures);

    std::function<Switches()> m_switches;
    std::function<void(const QString&)> m_addInfo;
    TelephoneChannel m_telephone;
    int m_currentCode = 0;
    AlarmTally* m_tally = nullptr;
};
