#pragma once

#include "phone/CallWavePlayer.h"
#include "phone/LineProvider.h"
#include "phone/TapiError.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

// The telephone line device (the window's `Tel`): one line, one call at a time. It dials with retries,
// reports the call's progress, keys and the sound's progress as events on the user-interface thread,
// and hangs up. What the line speaks lives in its provider; the device holds the state machine.
class LineDevice : public QObject {
    Q_OBJECT
public:
    enum WaveMessage { waPlayOpen, waPlayDone, waPlayClose, waRecordOpen, waDataReady, waRecordClose };
    // Waits of the device; tests shorten them.
    struct Timing {
        int tickMs = 1000;       // the retry ticker's second
        int replyWaitMs = 30000; // the wait for a reply and for the idle state after a drop
    };
    // The device selection dialog: lists the entries it is given the means to find (which takes a moment),
    // preselects `current`; the chosen entry, or none on Cancel.
    using Chooser =
        std::function<std::optional<QString>(const std::function<QStringList()>& entries, const QString& current)>;

    // `provider` may be null: then no serial port is assigned and PlaceCall fails.
    explicit LineDevice(LineProvider* provider, QObject* parent = nullptr);
    ~LineDevice() override;

    void setTiming(const Timing& timing) { m_timing = timing; }
    // From now on no wait of the device lasts beyond `ms` from now (the monitor is ending).
    void limitWaits(int ms) { m_waitDeadline = QDeadlineTimer(ms); }
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    // Properties.
    QString SelectedDevice() const { return m_selected; }
    void setSelectedDevice(const QString& name) { m_selected = name; }
    bool EnableVoice() const { return m_enableVoice; }
    void setEnableVoice(bool on);
    bool ShowTapiDevices = true;
    bool ShowPorts = false;
    bool FilterUnsupportedDevices = true;
    int MaxAttempts = 3;
    int RetryWait = 60;
    bool InterruptOnDigit = true;
    bool PlayOnSoundCard = false; // there is no sound card path: sounds always go into the call

    // The selectable lines, found afresh by refreshDevices().
    const QStringList& DeviceNames() const { return m_deviceNames; }
    void refreshDevices();
    // The entries of the selection dialog: the lines, and "Direct to COM<n>" for the serial ports
    // when ShowPorts is on (`linesOnly` leaves them out).
    QStringList selectionEntries(bool linesOnly) const;
    int ChooseDevice();

    void PlaceCall(const QString& number);
    void HangUp();
    void SendDigits(const QString& digits);
    int CurrentCallState() const;
    int FailureCode() const { return m_failureCode; }
    QString FailureText(int code) const;
    bool cancelRequested() const { return m_cancelRequested; }
    // A line still open or being cleaned up: a dial now would not go out.
    bool lineInUse() const { return m_lineOpen || m_cleaningUp; }
    int attempt() const { return m_attempt; }

    void PlayWave(const QString& file);
    void StopWave();
    int WaveState() const { return m_player.state(); }

    // Events. Handlers may be empty; the alarm call sequence detaches OnTapiFail while it hangs up.
    std::function<void(bool first, bool last, int device, int message, int param1, int param2, int param3)>
        OnTapiStatus;
    std::function<void()> OnTapiConnect;
    std::function<void()> OnTapiFail;
    std::function<void(QChar digit, int errorCode)> OnTapiDTMF;
    std::function<void(WaveMessage msg)> OnTapiWaveNotify;
    // The standard error report for failures while a posted notice or a line message is handled.
    std::function<void(const QString& text)> OnError;

private:
    void dialAttempt();
    void lookUpLine();
    int waitForReply();
    bool pumpUntil(const std::function<bool()>& done, int ms);
    void cleanUp(bool byHangUp);
    void startRetryTicker();
    void retryTick();
    void postFail();
    void postConnect();
    void failAttempt(int code, const QString& reason);
    void onCallState(quint32 state, quint32 detail);
    void onBusy(quint32 detail);
    void onKey(char key);
    void onLineClosed(const QString& reason);
    void status(int message, int param1, int param2);
    void guarded(const std::function<void()>& handler);
    bool lineHasVoice(const QString& name);

    LineProvider* m_provider;
    CallWavePlayer m_player;
    Timing m_timing;
    QDeadlineTimer m_waitDeadline{QDeadlineTimer::Forever};
    Chooser m_chooser;
    QString m_selected;
    bool m_enableVoice = false;
    QList<LineProvider::Line> m_lines;
    QStringList m_deviceNames;

    QString m_number;
    int m_attempt = 0;
    bool m_retryArmed = false;
    bool m_lineOpen = false;
    bool m_callExists = false;
    bool m_dialPending = false;
    bool m_connected = false;
    bool m_connectHeld = false; // connected while the dial request still waited for its reply
    bool m_everConnected = false;
    bool m_busySeen = false;       // this attempt has found the number busy
    bool m_cancelRequested = true; // no call has been placed: nothing to hang up
    bool m_failReported = true;
    bool m_cleaningUp = false;
    bool m_waiting = false;
    bool m_replyArrived = false;
    int m_replyResult = 0;
    bool m_idleReported = false;
    int m_failureCode = 0;
    QString m_failureReason;
    QTimer m_retryTicker;
    int m_secondsLeft = 0;
};
