#pragma once

#include "sound/Mply.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class SettingsStore;

// The sound channel of the alarms: which file an alarm plays (the address's own, the default
// address's, or "alarm.wav"), the list of sounds the alarms asked for with the position of the one
// that plays, and the repetition of that list when the player reports a sound's end.
//
// A sound that cannot be played costs one line in the pane and nothing else: monitoring and the
// other channels go on.
class AlarmSounds : public QObject {
    Q_OBJECT
public:
    struct Host {
        // The texts of the sound fields for received alarms (netAlarmSD) and the test call (Edit6).
        std::function<QString()> networkAlarmSound;
        std::function<QString()> testCallSound;
        std::function<void(const QString&)> addInfo;
        // Ends every preview that is running (their buttons go idle); runs when a sound has ended.
        std::function<void()> endPreviews;
    };

    AlarmSounds(Mply& player, SettingsStore& settings, QString dataDir, Host host);

    static QString fallbackName() { return QStringLiteral("alarm.wav"); }
    static QString noSoundLine() { return QStringLiteral("请到\"声音报警设置\"模块，录制并设置报警声音！"); }
    static QString cannotPlayLine(const QString& path, const QString& reason);
    static QString playFailedLine(const QString& path);

    // The sound of one alarm: code is an AlarmKind; entryKey names the address (empty for the test call).
    // False when no sound could be played or listed for the alarm.
    bool PlayAlarmSound(int code, const QString& entryKey);
    // Opens the player on the file and plays it; throws SoundFileError.
    void PlaySoundFile(const QString& path);
    void StopSound();
    void MplyNotify(Mply::Notify code);

    const QStringList& soundList() const { return m_list; }
    int soundIndex() const { return m_index; }
    void setSoundIndex(int index) { m_index = index; }
    void clearSoundList();

    QString fallbackPath() const;

private:
    QString soundFor(int code, const QString& entryKey) const;
    // Plays the file, or reports it once in the pane; false when it did not start.
    bool tryPlay(const QString& path);

    Mply& m_player;
    SettingsStore& m_settings;
    QString m_dataDir;
    Host m_host;
    QStringList m_list;
    int m_index = 0;
    // Files that could not be played since the list was last emptied: reported once, then skipped
    // by the repetition.
    QSet<QString> m_unplayable;
};
