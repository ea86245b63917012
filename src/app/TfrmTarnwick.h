#pragma once

#include "app/AppContext.h"
#include "app/ControlEvents.h"
#include "app/ListMemo.h"
#include "app/SettingsBinder.h"
#include "app/WindowUi.h"
#include "metrics/MetricsService.h"
#include "monitor/Countdown.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/SettingsStore.h"
#include "records/AlarmReports.h"
#include "records/InfoPane.h"

#include <QTimer>

class AlarmDispatch;
class AlarmNotifier;
class AlarmSounds;
class HistoryControl;
class MailAlarm;
class Mply;
class NetworkPage;
class SoundPage;
class TelephonePage;
class SoundRecorder;
class PingCycle;
class PingCycleWindowHost;
class TrayIcon;

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QSpinBox;

// The main window: it owns every component and all run-time state of the monitor, runs the start-up
// sequence while it is created and the shutdown steps when it is destroyed. Its handlers keep the
// monitor's names and delegate to the subsystem classes.
class TfrmTarnwick : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmTarnwick(const AppContext& context, QWidget* parent = nullptr);
    ~TfrmTarnwick() override;

    static QString caption() { return QStringLiteral("Tarnwicker网络检测员V2.0"); }

    const WindowUi& ui() const { return m_ui; }
    InfoPane& pane() { return m_pane; }
    SettingsStore& settings() { return *m_settings; }
    int alarmCode() const;
    AlarmDispatch& dispatch() { return *m_dispatch; }
    TrayIcon& tray() { return *m_tray; }
    NetworkPage& network() { return *m_network; }
    AlarmSounds& alarmSounds() { return *m_alarmSounds; }
    Mply& player() { return *m_mply; }
    SoundPage& soundPage() { return *m_soundPage; }
    const QTimer& tDisp() const { return m_tDisp; }
    const Countdown& countdown() const { return m_countdown; }

    // The value of a spin field as the operator sees it: its text, 0 while it holds no number.
    static int spinValue(const QSpinBox* spin);

    // Ends the program in order once this many ping cycles have ended (0: never).
    void setCycleLimit(int cycles) { m_cycleLimit = cycles; }
    const QString& dataDir() const { return m_context.dataDir; }

    // The orderly end of the program (exit command, end of session, termination signals).
    void requestTermination();
    bool terminationRequested() const;

    // The start-up sequence, run once right after the window is created (and wired to its outside).
    // Shown, the window appears once the listener is open and before the first ping cycle, so that
    // the operator watches the pane fill instead of waiting for a window that the cycle holds back.
    enum class Showing { Hidden, BeforeFirstCycle };
    void FormCreate(Showing showing = Showing::Hidden);

    // Shutdown steps; runs once, at the latest from the destructor.
    void FormDestroy();

    // The error box: a failure the operator must see.
    void showError(const QString& text);

    // AddInfo: one line into the information pane, hiding a shown report.
    void AddInfo(const QString& text);

    // Handlers of the bound settings.
    void SpinEditExit(QSpinBox* spin);
    void CheckBoxClick(QCheckBox* box);
    void editExit(QLineEdit* edit);
    void ComboBoxExit(QComboBox* combo);
    void edtSendPswExit();
    void CheckBox3Click();
    void cbTelClick();
    void CheckBox4Click();

    // The sound alarm and its page.
    void PlayAlarmSound(int code, const QString& entryKey);
    void StopSound();
    void lbSDClick();

    // The lists.
    void mLineDblClick();
    void mLineExit();
    void ToolButton1Click();
    void mRecIpDblClick();
    void mRecIpExit();
    void mPhoneDblClick();
    void mPhoneExit();

    // The ping cycle and the countdown.
    void bbPingClick();
    void bbCancClick();
    void tDispTimer();
    void lMinClick();
    // Called by the cycle as its last step: the countdown runs again.
    void cycleEnded();
    // Every address of the cycle has its verdict: the desktop is told of the alarms it raised.
    void notifyCycleAlarms();
    void resetAlarmPositions();
    void clearAlarmSoundList();

    // The notification area and start at login.
    void Ping1Click();
    void N1Click();
    void PageControl1Change();
    void EndAlarmCall();
    TelephonePage& telephone() { return *m_telephone; }
    void N2Click();
    void trayDoubleClick();

    // Alarm reports and the usage text.
    void BuildAlarmReport(const AlarmReports::Bounds& bounds);
    void ToolButton7Click();
    void ToolButton9Click();
    void ToolButton12Click();
    void ToolButton13Click();
    void Label8Click();
    // "历史曲线": the latency graph of the caret line's address.
    void showHistoryGraph();
    HistoryControl& history() { return *m_history; }

    // The mail alarm.
    void SendAlarmMail(const QString& subject);
    void BitBtn2Click();

    // The network alarms.
    void BitBtn3Click();

    // The information pane.
    void tbSaveClearClick();
    QString caretLineText() const;

Q_SIGNALS:
    void terminationStarted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMailAlarm();
    void createMonitor();
    void resumeCountdown();
    void loadBoundSettings();
    void startMetrics();
    void applyStartupAddressEntries();
    void connectHandlers();
    void wireList(QPlainTextEdit* memo, QToolButton* unlockButton, QToolButton* saveButton,
                  void (TfrmTarnwick::*unlock)(), void (TfrmTarnwick::*save)());
    void connectTray();
    void createSound();
    void createTelephone();
    void scrollPaneToEnd();
    // Runs a handler; a failure with a text for the operator is shown in the error box.
    void guarded(const std::function<void()>& handler);

    AppContext m_context;
    WindowUi m_ui;
    InfoPane m_pane;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SettingsBinder> m_binder;
    std::unique_ptr<ListMemo> m_lineList;
    std::unique_ptr<ListMemo> m_recIpList;
    std::unique_ptr<ListMemo> m_phoneList;
    std::unique_ptr<MailAlarm> m_mailAlarm;
    std::unique_ptr<Mply> m_mply;
    std::unique_ptr<AlarmSounds> m_alarmSounds;
    std::unique_ptr<SoundRecorder> m_recorder;
    std::unique_ptr<SoundPage> m_soundPage;
    IcmpProbe m_icmp;
    ParallelProbe m_parallelIcmp;
    std::unique_ptr<AlarmDispatch> m_dispatch;
    std::unique_ptr<NetworkPage> m_network;
    std::unique_ptr<HistoryControl> m_history;
    std::unique_ptr<PingCycleWindowHost> m_cycleHost;
    std::unique_ptr<PingCycle> m_cycle;
    MetricsService m_metrics;
    Countdown m_countdown;
    QTimer m_tDisp;
    TrayIcon* m_tray = nullptr;
    AlarmNotifier* m_notifier = nullptr;

    ControlEvents m_events;

    std::unique_ptr<TelephonePage> m_telephone;
    int m_cycleLimit = 0;
    int m_cyclesEnded = 0;
    bool m_terminationRequested = false;
    bool m_destroyed = false;
    bool m_loadingSettings = false; // the telephone switch waits for the SIP account before it checks
    bool m_scrollPending = false;
};
