#pragma once

#include <QString>

#include <chrono>

// Hands a text to the Messenger service of a receiving station and returns the service's status,
// 0 when it took the message. The network alarms cut the receiver and the text to the service's
// limits before they call it.
class MessengerSender {
public:
    static constexpr int kMaxReceiver = 64; // UTF-16 code units
    static constexpr int kMaxText = 1000;

    virtual ~MessengerSender() = default;
    virtual int send(const QString& receiver, const QString& text) = 0;

    // The text cut to at most `limit` UTF-16 code units, never inside a surrogate pair.
    static QString cut(const QString& text, int limit);
};

// Linux: Samba's WinPopup client (`smbclient -M`) delivers the message; its exit status is the
// status (0 delivered, 1 not). The text goes in GBK, the code page of Chinese stations, cut at a
// character to the kMaxBytes that the client carries (it would cut the rest itself). Without
// smbclient every send gives kNotInstalled; one that has not ended within the time limit is
// killed and gives kTimedOut.
class SmbclientMessenger : public MessengerSender {
public:
    static constexpr int kNotInstalled = 127;
    static constexpr int kMaxBytes = 1598;
    static constexpr int kTimedOut = 124;

    explicit SmbclientMessenger(std::chrono::milliseconds timeLimit = std::chrono::seconds(15))
        : m_timeLimit(timeLimit)
    {}

    int send(const QString& receiver, const QString& text) override;

    // The GBK text cut at a character to what the client carries whole.
    static QByteArray fitted(const QByteArray& text);

private:
    std::chrono::milliseconds m_timeLimit;
};
