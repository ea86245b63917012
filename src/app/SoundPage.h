#pragma once

#include <QObject>
#include <QString>

#include <functional>

class AlarmSounds;
class ControlEvents;
class Prompter;
class QLineEdit;
class QToolButton;
class SettingsStore;
class SoundRecorder;
struct WindowUi;

// The sound settings page: the address list with its three alarm sounds, their previews, the
// default address, the sound for received alarms (on the network page) and the recorder. The
// window creates it, and its handlers with the monitor's names delegate here.
class SoundPage : public QObject {
    Q_OBJECT
public:
    SoundPage(const WindowUi& ui, SettingsStore& settings, Prompter& prompter, AlarmSounds& sounds,
              SoundRecorder& recorder, QString dataDir, std::function<void(const QString&)> addInfo);

    static QString emptyFieldTip() { return QStringLiteral("点击可选择声音文件"); }
    // The full path a sound field holds (it shows only the file name).
    static QString fullPath(const QLineEdit* field);

    // Connects the page's controls; leaving a field is reported by the window's control events.
    void wire(ControlEvents& events);

    void lbSDClick();
    void CheckBox4Click();
    void EditAlarmEnter(QLineEdit* field);
    void EditAlarmExit(QLineEdit* field);
    void Edit4MouseMove(QLineEdit* field);
    void SpeedButtonPlay(const QString& path, QToolButton* button);
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    // Flips a play or record button between idle (its tag 1, a play picture) and busy (0, stop).
    void SpeedButtonClick(QToolButton* button);
    void netAlarmSDEnter();
    // A sound has ended: every busy preview button is clicked, which stops and idles it.
    void endPreviews();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setField(QLineEdit* field, const QString& path);
    QString chooseSoundFile();
    void returnFocusTo(QWidget* control);
    void write(const QString& section, const QString& key, const QString& value);
    void startRecording();
    void stopRecording();

    const WindowUi& m_ui;
    SettingsStore& m_settings;
    Prompter& m_prompter;
    AlarmSounds& m_sounds;
    SoundRecorder& m_recorder;
    QString m_dataDir;
    std::function<void(const QString&)> m_addInfo;
    ControlEvents* m_events = nullptr;
};
