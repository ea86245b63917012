#pragma once

#include "sound/SoundOutput.h"
#include "sound/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QAudioSource;

// The monitor's one media player. It is opened on one WAV file at a time; whoever opens it ends
// what it did before. A play ends with exactly one completion notice: successful when the sound
// has played to its end, superseded when another play of the same file replaced it, aborted when
// it was stopped or closed, failure when the sound server failed. Recording takes the format of
// the opened file (as the recorder's header gives it) and keeps the samples until they are saved
// into that same file.
//
// Playback goes to the default sound output through QAudioSink (in a thread of its own), recording comes from the
// default input through QAudioSource; tests may name other devices.
class Mply : public QObject {
    Q_OBJECT
public:
    enum class Notify { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };
    enum class Mode { NotOpen, Stopped, Playing, Recording };

    explicit Mply(QObject* parent = nullptr);
    ~Mply() override;

    void setOutputDevice(const QAudioDevice& device) { m_outputDevice = device; }
    void setInputDevice(const QAudioDevice& device) { m_inputDevice = device; }

    // Closes what was open, then opens the file. Throws SoundFileError with the reason.
    void open(const QString& path);
    // Plays from the start. Throws SoundFileError when nothing is open or no output takes the sound.
    void play();
    // Records in the opened file's format. Throws SoundFileError when no input can record.
    void record();
    // Ends a play (aborted) or a recording (its samples are kept); nothing else happens.
    void stop();
    // Writes the recording into the opened file, which must be the given path. Throws
    // SoundFileError when no recording of that file is held or the file cannot be written.
    void save(const QString& path);
    // Ends everything and forgets the file; closing a closed player does nothing.
    void close();

    Mode mode() const;
    QString fileName() const { return m_path; }
    // Seconds of samples recorded so far.
    double recordedSeconds() const;

Q_SIGNALS:
    void notify(Mply::Notify code);
    // Emitted by open() while a recording runs, before the recording is closed, so that its owner
    // can save what was recorded.
    void recordingInterrupted();

private:
    void prepareOutput();
    void finishPlay(Notify code);
    void stopRecording();
    void watch();
    QAudioDevice output() const;
    QAudioDevice input() const;

    QString m_path;
    bool m_open = false;
    PcmSound m_sound;
    WaveCoding m_coding;
    QByteArray m_pcm; // the sound in m_outputFormat, made on the first play
    QAudioFormat m_outputFormat;
    SoundOutput m_output;
    bool m_playing = false;
    quint64 m_playId = 0;
    qint64 m_playDeadline = 0;

    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_sourceSamples = nullptr; // owned by m_source
    QAudioFormat m_inputFormat;
    QByteArray m_recorded;
    bool m_recording = false;
    bool m_hasRecording = false;

    QTimer m_watch;
    QAudioDevice m_outputDevice;
    QAudioDevice m_inputDevice;
};
