#pragma once

#include "alarm/AlarmTally.h"
#include "alarm/MessengerRelays.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class MessengerSender;
class UdpSrv;

// Alarms to other stations: every receiver of the receiver list gets the alarm text as a Messenger
// message and as a GBK datagram on the network alarm port, as the network page's switches say. Each
// send reports its result as a line of its own; one failed receiver or transport never stops the others.
//
// The alarm text is GBK bytes from the start: a relayed alarm begins with the address text exactly as
// it came from the other station. Messenger relays of received alarms are coalesced per minute
// (MessengerRelays); their datagrams all go out at once.
class NetworkAlarms {
public:
    // The network page as it stands when an alarm goes out.
    struct Settings {
        bool useMessenger = true; // cbUseMess
        bool useUdp = true;       // cbUseSelf
        bool kindWords = true;    // cbAlarmType
        bool extraText = true;    // cbAddMemo
        QString extra;            // MemoInfor
    };

    struct Host {
        std::function<Settings()> settings;
        std::function<QStringList()> receivers; // the lines of mRecIp, exactly as written
        std::function<void(const QString&)> addInfo;
        std::function<QString()> timeStampPrefix;
        // The result of each alarm sent (test messages are not counted); empty: not counted.
        std::function<void(AlarmChannel, bool ok)> sent = {};
    };

    static inline const QString kTestText = QStringLiteral("Tarnwicker报警测试信息!");

    NetworkAlarms(Host host, UdpSrv& udp, MessengerSender& messenger);

    // The alarm text in GBK: the address text, the kind words, "报警。" and the extra text. An
    // address text too long for one datagram is cut, at a character, so that the whole text fits.
    static QByteArray alarmText(int kind, const QByteArray& address, const Settings& settings);
    static QString kindWords(int kind);

    // Builds the alarm text and sends it to every receiver in list order, Messenger before UDP.
    void SendNetworkAlarm(int kind, const QByteArray& address);

    // One datagram with the text's bytes; returns the error text, empty on success.
    QString SendUdpText(const QString& receiver, int port, const QByteArray& text);

    // One Messenger message; returns the service's status, 0 on success.
    int SendMessengerText(const QString& receiver, const QString& text);

    // "发送测试信息": the test text to every receiver on both transports, whatever the switches say.
    void BitBtn3Click();

    // Messenger relays held for the end of the current minute, and the length of that "minute".
    int heldRelays() const { return m_relays.held(); }
    void setRelayMinute(int ms) { m_relays.setMinute(ms); }

private:
    void sendHeldRelays(const QString& texts, int count);
    void tally(AlarmChannel channel, bool ok);

    Host m_host;
    UdpSrv& m_udp;
    MessengerSender& m_messenger;
    MessengerRelays m_relays;
};
