#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Messenger relays of alarms received from other stations, coalesced per minute. Every Messenger
// message is a client process that can take seconds, so a station that floods this one would keep
// the monitor sending for hours. The first relay of a minute goes out at once; the ones after it in
// that minute are held and go out together, as one message to each receiver, when the minute is over.
class MessengerRelays : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinuteMs = 60'000;
    // The held texts are kept up to this many characters, which is more than one message can carry.
    static constexpr int kMaxHeld = 2'000;

    // `sendHeld` gets the held texts, joined by blanks (cut at kMaxHeld), and how many there were.
    explicit MessengerRelays(std::function<void(const QString& texts, int count)> sendHeld, int minuteMs = kMinuteMs,
                             QObject* parent = nullptr);

    // True when the relay goes out now; false when it is held for the minute's end.
    bool take(const QString& text);
    int held() const { return m_count; }
    void setMinute(int ms) { m_minute.setInterval(ms); }

private:
    void endOfMinute();

    std::function<void(const QString&, int)> m_sendHeld;
    QTimer m_minute;
    QString m_held;
    int m_count = 0;
};
