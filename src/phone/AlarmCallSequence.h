#pragma once

#include "phone/LineDevice.h"

#include <QChar>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class TickClock;

// The alarm call: dials the numbers of the telephone list one after the other through the line
// device, plays the alarm sound into each connected call over and over, and obeys the called
// party's keys (stop, continue, replay, pause/resume). Every step is a line in the information pane.
// The sequence is made of nested waits that keep the window's messages flowing; a later start or an
// end from outside supersedes whatever an earlier wait was about to do.
class AlarmCallSequence : public QObject {
    Q_OBJECT
public:
    enum Key { StopKey, ContinueKey, ReplayKey, PauseKey };

    // What the sequence reads from and does to the window.
    struct Host {
        std::function<void(const QString&)> addInfo;
        std::function<QStringList()> phoneLines; // the telephone list, without an empty last line
        std::function<const QStringList&()> soundList;
        std::function<int()> soundIndex;
        std::function<void(int)> setSoundIndex;
        std::function<QString()> testRecording; // the text of the test recording field
        std::function<int()> maxTimeMinutes;
        std::function<QString(Key)> keyField; // the text of a key field
        std::function<void()> togglePause;    // the countdown's pause/resume
        std::function<bool()> ending;         // the monitor is ending: every wait gives up at once
    };
    // The waits of the sequence; tests shorten them.
    struct Waits {
        int afterConnectMs = 10000;
        int betweenPlaysMs = 500;
        int afterHangUpMs = 1000;
        int beforeNextNumberMs = 4000;
        int redialDelayMs = 1000;
        int minuteMs = 60000;
    };

    AlarmCallSequence(LineDevice& tel, Host host, const TickClock& clock, QObject* parent = nullptr);

    void setWaits(const Waits& waits);

    void CallNextNumber();
    void EndAlarmCall();
    void PlayAlarmOnLine();
    void PumpWait(int ms);

    // Event handlers of the line device and the redial timer.
    void TelTapiConnect();
    void TelTapiStatus(int message, int param1);
    void TelTapiFail();
    void TelTapiCallerID(const QString& id, const QString& idName);
    void TelTapiDTMF(QChar digit);
    void TelTapiWaveNotify(LineDevice::WaveMessage msg);
    void tDelayToneTimer();

    int position() const { return m_position; }
    void setPosition(int position) { m_position = position; }
    QString entryAt(int position) const;
    QChar LastKey() const { return m_lastKey; }
    quint32 CallStartTick() const { return m_callStartTick; }
    bool testFlag() const { return m_test; }
    void setTestFlag(bool on) { m_test = on; }
    bool redialPending() const { return m_tDelayTone.isActive(); }

    // The key a field holds is its first character; an empty field matches no digit.
    static bool matches(const QString& field, QChar digit) { return !field.isEmpty() && field.at(0) == digit; }

private:
    bool is(Key key, QChar digit) const { return m_host.keyField && matches(m_host.keyField(key), digit); }
    void hangUp();
    void pumpUntil(const std::function<bool()>& done, int capMs);
    // Runs an event handler's step; an error of the line is reported in the pane and ends the sequence.
    void reported(const std::function<void()>& step);
    void nextNumberAfter(const QString& caption, int ms);

    LineDevice& m_tel;
    Host m_host;
    const TickClock& m_clock;
    Waits m_waits;
    QTimer m_tDelayTone;
    QTimer m_deferredStart;
    quint64 m_deferredGeneration = 0;
    int m_position = 0;
    QChar m_lastKey;
    quint32 m_callStartTick = 0;
    bool m_test = false;
    // Counts starts and ends from outside: a wait that returns to a changed generation has been superseded.
    quint64 m_generation = 0;
    bool m_stopped = true;
};
