#pragma once

#include "alarm/AlarmBurst.h"

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
// Any station may send alarms, so a flood is bounded: the shown text is cut to kMaxShown characters
// and always takes one line, and AlarmBurst limits the channels a burst reaches.
class ReceivedAlarms : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxShown = 1000;

    struct Host {
        std::function<QStringList()> receivers;           // the lines of mRecIp
        std::function<void(const QString&)> appendDirect; // into mInfor, a shown report stays in front
        std::function<QString()> timeStampPrefix;
    };

    ReceivedAlarms(Host host, AlarmDispatch& dispatch, AlarmBurst burst = AlarmBurst(), QObject* parent = nullptr);

    // The handler of every received datagram, on the user-interface thread.
    void UdpSrvUDPRead(const QByteArray& payload, quint32 sender);

    // The received text, cut to kMaxShown characters.
    static QString receivedText(const QByteArray& payload);
    // The text on one line as it is shown and dispatched: line breaks and tabs become blanks, every
    // other control character U+FFFD.
    static QString oneLine(QString text);
    // The text before the first "=", trimmed of blanks and control characters: the address text.
    static QString addressText(const QString& text);
    // True when the sender's dotted address equals a receiver line (case and outer blanks aside).
    static bool isListedReceiver(quint32 sender, const QStringList& receivers);

private:
    void endOfWindow();

    Host m_host;
    AlarmDispatch& m_dispatch;
    AlarmBurst m_burst;
    QElapsedTimer m_clock;
    QTimer m_windowTimer;
};
