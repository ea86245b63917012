#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// What the desktop is told of alarms, and when: one notice for a ping cycle that raised alarms,
// given when the cycle ends; one for alarms received from other stations, at most one a minute
// (those that come within the minute after a notice are held back and told together when it is
// up); nothing while all is well. A notice names the first few addresses and how many in all.
//
// It also keeps the addresses alarming while an alarm is current (those of the cycle and those
// received), which the tray's tip counts; the alarm state reset forgets them.
//
// Times are milliseconds of a monotonic clock that the caller reads.
class AlarmNotices {
public:
    static constexpr qint64 kReceivedGapMs = 60'000;
    static constexpr int kNamedAddresses = 3;

    struct Notice {
        QString title;
        QString text;
        bool operator==(const Notice&) const = default;
    };

    static QString cycleTitle() { return QStringLiteral("Ping检测报警"); }
    static QString receivedTitle() { return QStringLiteral("收到其他检测站的报警"); }

    // "a、b、c等，共5个地址": the first kNamedAddresses addresses and the count.
    static QString noticeText(const QStringList& addresses);

    // An alarm the ping cycle raised for the address (Break, Bad or Slow).
    void cycleAlarm(const QString& address);
    // The cycle has ended: the notice of the addresses it raised alarms for, if any.
    std::optional<Notice> cycleEnded();

    // An alarm received from another station: its notice now, or nothing while the minute after the
    // last one runs (the address is then held back).
    std::optional<Notice> receivedAlarm(const QString& address, qint64 nowMs);
    // When the held-back addresses are due; nullopt when none waits.
    std::optional<qint64> heldBackDue() const;
    // The notice of the held-back addresses once they are due.
    std::optional<Notice> takeHeldBack(qint64 nowMs);

    // The alarm state reset: no alarm is current any more.
    void alarmCleared();
    // How many addresses are alarming while the alarm is current.
    int alarmingCount() const { return int(m_alarming.size()); }

private:
    // Addresses in the order first given, each once; looked up in constant time, since a cycle of
    // thousands of addresses down or a burst of received alarms gives each of them.
    class Addresses {
    public:
        void add(const QString& address)
        {
            if (!m_seen.contains(address)) {
                m_seen.insert(address);
                m_order.append(address);
            }
        }
        bool isEmpty() const { return m_order.isEmpty(); }
        // The addresses in order; the list is empty afterwards.
        QStringList take()
        {
            m_seen.clear();
            return std::exchange(m_order, {});
        }

    private:
        QStringList m_order;
        QSet<QString> m_seen;
    };

    Addresses m_cycle;    // this cycle's addresses, in the order raised
    Addresses m_heldBack; // received within the minute after the last notice
    QSet<QString> m_alarming;
    std::optional<qint64> m_lastReceivedNotice;
};
