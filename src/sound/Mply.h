#pragma once

#include "sound/SoundConverter.h"
#include "sound/SoundOutput.h"
#include "sound/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QAudioSource;

// The monitor's one media player. It is opened on one WAV file at a time; whoever opens it ends
// what it did before. A play ends with exactly one completion notice: successful when the sound
// has played to its end, superseded when another play of the same file replaced it, aborted when
// it was stopped or closed, failure when the sound server failed. Recording takes the format of
// the opened file (as the recorder's header gives it) and keeps the samples until they are saved
// into that same file; a recording that is not saved when the player is closed or opened on
// another file is announced first (recordingInterrupted), so that its owner can save it.
//
// Playback goes to the default sound output through QAudioSink (in a thread of its own), recording comes from the
// default input through QAudioSource; tests may name other devices. Both stream: the file is read,
// and the recording written, a block at a time, so neither takes more memory the longer it runs.
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
    // Ends a play (aborted) or a recording (its samples are kept until saved or closed).
    void stop();
    // Writes the recording into the opened file, which must be the given path. Throws
    // SoundFileError when no recording of that file is held or the file cannot be written.
    void save(const QString& path);
    // Ends everything and forgets the file, and an unsaved recording with it once its owner has had
    // its say; closing a closed player does nothing.
    void close();

    Mode mode() const;
    QString fileName() const { return m_path; }
    // Seconds of samples recorded so far.
    double recordedSeconds() const;

Q_SIGNALS:
    void notify(Mply::Notify code);
    // Emitted by open() and close() while a recording is held unsaved, before it is dropped, so that
    // its owner can save what was recorded.
    void recordingInterrupted();

private:
    void finishPlay(Notify code);
    void takeRecorded();
    void writeRecorded(const char* bytes, qint64 size, bool last);
    void stopRecording();
    void dropRecording();
    void watch();
    QAudioDevice output() const;
    QAudioDevice input() const;
    QString recordingPartPath() const;

    QString m_path;
    bool m_open = false;
    WaveCoding m_coding;
    qint64 m_frames = 0;
    SoundOutput m_output;
    bool m_playing = false;
    quint64 m_playId = 0;
    qint64 m_playDeadline = 0;

    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_sourceSamples = nullptr; // owned by m_source
    QAudioFormat m_inputFormat;
    // The recording is written as it comes into a hidden file beside the opened one, which the
    // save puts in its place.
    std::unique_ptr<SoundConverter> m_recordConverter;
    std::unique_ptr<WaveWriter> m_recordWriter;
    std::vector<float> m_recordBlock;
    std::vector<float> m_recordConverted;
    bool m_recording = false;

    QTimer m_watch;
    QAudioDevice m_outputDevice;
    QAudioDevice m_inputDevice;
};
