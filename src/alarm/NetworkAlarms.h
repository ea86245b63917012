#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class MessengerSender;
class UdpSrv;

// Alarms to other stations: every receiver of the receiver list gets the alarm text as a Messenger
// message and as a GBK datagram on the network alarm port, as the network page's switches say. Each
// send reports its result as a line of its own; one failed receiver or transport never stops the others.
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
    };

    static inline const QString kTestText = QStringLiteral("Tarnwicker报警测试信息!");

    NetworkAlarms(Host host, UdpSrv& udp, MessengerSender& messenger);

    // The alarm text: the address text, the kind words, "报警。" and the extra text.
    static QString alarmText(int kind, const QString& address, const Settings& settings);
    static QString kindWords(int kind);

    // Builds the alarm text and sends it to every receiver in list order, Messenger before UDP.
    void SendNetworkAlarm(int kind, const QString& address);

    // One datagram with the GBK bytes of the text; returns the error text, empty on success.
    QString SendUdpText(const QString& receiver, int port, const QString& text);

    // One Messenger message; returns the service's status, 0 on success.
    int SendMessengerText(const QString& receiver, const QString& text);

    // "发送测试信息": the test text to every receiver on both transports, whatever the switches say.
    void BitBtn3Click();

private:
    Host m_host;
    UdpSrv& m_udp;
    MessengerSender& m_messenger;
};
