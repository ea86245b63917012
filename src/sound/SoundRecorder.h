#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class Mply;

// The format of a new recording, from the choices of the recorder's three boxes.
struct RecordingFormat {
    int channels = 1;
    int bitsPerSample = 8;
    int samplesPerSecond = 11025;

    // Channel box: 0 mono, 1 stereo; a box never touched (-1) records mono rather than the zero
    // channels no device takes. Resolution box: 1 is 16 bits, anything else 8. Rate box: 0..3 are
    // 8000, 11025, 22050 and 44100; anything else 11025.
    static RecordingFormat fromChoices(int channelsIndex, int resolutionIndex, int rateIndex);
};

// The 44-byte header of a PCM WAV file with an empty data chunk: it gives the recording its format.
QByteArray recordingHeader(const RecordingFormat& format);

// Records an alarm sound through the shared player into a file of the program's folder. A sound
// that takes the player over during a recording does not lose it: what was recorded is saved into
// the recording file first, and recordingInterrupted tells how that went.
class SoundRecorder : public QObject {
    Q_OBJECT
public:
    SoundRecorder(Mply& player, QString dataDir);
    // A recording still running when the monitor ends is saved, not lost.
    ~SoundRecorder() override;

    // The name typed for a recording is a plain file name: no folder, nothing that leads out of
    // the program's folder, nothing the GBK settings file could not store.
    static bool isPlainName(const QString& name);
    // Program's folder + name + ".wav"; a name that already ends in ".wav" gets a second one.
    QString recordingPath(const QString& name) const;

    // Writes the header and starts recording; throws SoundFileError (nothing records then).
    void start(const QString& path, const RecordingFormat& format);
    // Stops, saves into the recording file and closes the player; throws SoundFileError when the
    // player holds no recording of that file or it cannot be written. The recorder is idle after.
    void stopAndSave();
    bool isRecording() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }

Q_SIGNALS:
    // A sound took the player over: saved is whether the recording so far is in the file; reason
    // says why not.
    void recordingInterrupted(const QString& path, bool saved, const QString& reason);

private:
    void onPlayerTakenOver();

    Mply& m_player;
    QString m_dataDir;
    QString m_path;
};
