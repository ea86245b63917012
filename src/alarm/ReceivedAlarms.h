#pragma once

#include "alarm/AlarmBurst.h"
#include "alarm/RepeatedAlarms.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class AlarmDispatch;

// Alarms from other stations, one datagram at a time: shown in the information pane and handed to
// the alarm dispatch as alarms of kind Remote, so that this station's switches decide whether they
// sound, are relayed, mailed and telephoned. Datagrams from an address of the receiver list are
// dropped, which also keeps two stations that list each other from relaying an alarm back and forth.
//
// Any station may send alarms, so a flood is bounded without losing one: every datagram is shown on
// one line, and each one taken is played and relayed; AlarmBurst runs mail and telephone once per
// burst, and a datagram that repeats one of the same sender within seconds is shown but not taken
// again. What was not taken is told in one line a minute.
class ReceivedAlarms : public QObject {
    Q_OBJECT
public:
    static constexpr int kReportMs = 60'000;

    struct Host {
        std::function<QStringList()> receivers;           // the lines of mRecIp
        std::function<void(const QString&)> appendDirect; // into mInfor, a shown report stays in front
        std::function<QString()> timeStampPrefix;
    };

    ReceivedAlarms(Host host, AlarmDispatch& dispatch, AlarmBurst burst = AlarmBurst(),
                   RepeatedAlarms repeats = RepeatedAlarms(), int reportMs = kReportMs, QObject* parent = nullptr);

    // The length of the burst window and the time from a repeat to the line that tells of it.
    void setTimes(qint64 burstWindowMs, int reportMs);

    // The handler of every received datagram, on the user-interface thread.
    void UdpSrvUDPRead(const QByteArray& payload, quint32 sender);

    // The text on one line as it is shown: line breaks and tabs become blanks, every other control
    // character U+FFFD.
    static QString oneLine(QString text);
    // The received bytes before the first "=", trimmed of blanks and control characters at both
    // ends: the address text, in the bytes it came as.
    static QByteArray addressBytes(const QByteArray& payload);
    // True when the sender's dotted address equals a receiver line (case and outer blanks aside).
    static bool isListedReceiver(quint32 sender, const QStringList& receivers);

private:
    void endOfWindow();
    void cancelled();
    void reportRepeats();

    Host m_host;
    AlarmDispatch& m_dispatch;
    AlarmBurst m_burst;
    RepeatedAlarms m_repeats;
    QElapsedTimer m_clock;
    QTimer m_windowTimer;
    QTimer m_reportTimer;
    int m_repeated = 0; // repeats not yet told
};
