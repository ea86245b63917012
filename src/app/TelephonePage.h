#pragma once

#include "phone/AlarmCallSequence.h"
#include "phone/LineDevice.h"
#include "phone/TelephoneLines.h"
#include "phone/VoiceModem.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class AlarmSounds;
class Prompter;
struct WindowUi;

// The telephone page and the window's telephone line `Tel`: the lines over the voice modems and SIP, the
// alarm call sequence that uses it, the test call, the line choice and the test recording field.
class TelephonePage : public QObject {
    Q_OBJECT
public:
    struct Host {
        std::function<void(const QString&)> addInfo;
        std::function<void()> resetAlarmState; // the alarm state reset of the ping cycle
        std::function<void(int)> setAlarmCode;
        std::function<void()> togglePause; // lMinClick
        std::function<void()> stopSound;
        std::function<bool()> ending; // the monitor is ending
        LineDevice::Chooser chooser;  // the device selection dialog; empty: none can be shown
    };

    TelephonePage(const WindowUi& ui, Prompter& prompter, AlarmSounds& sounds, const QStringList& modems,
                  QString dataDir, Host host);
    ~TelephonePage() override;

    VoiceModem& modem() { return *m_modem; }
    TelephoneLines& lines() { return *m_lines; }
    LineDevice& tel() { return *m_tel; }
    AlarmCallSequence& calls() { return *m_calls; }

    static QString noModemText();

    void btSDTestClick();
    void CheckModem();
    void BitBtn5Click();
    void Edit6Enter();
    // At the end of the monitor: a call on the line is hung up, within a second however the line
    // answers; then baresip, if it runs, is stopped in order.
    void hangUpAtEnd();
    void stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const WindowUi& m_ui;
    Prompter& m_prompter;
    AlarmSounds& m_sounds;
    QString m_dataDir;
    Host m_host;
    std::unique_ptr<VoiceModem> m_modem;
    std::unique_ptr<TelephoneLines> m_lines;
    std::unique_ptr<LineDevice> m_tel;
    std::unique_ptr<AlarmCallSequence> m_calls;
};
