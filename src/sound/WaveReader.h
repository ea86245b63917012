#pragma once

#include "sound/WaveFile.h"

#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

// Why the RIFF chunks of a WAVE file do not fit the file, or nothing when they do: the file starts
// "RIFF"...."WAVE", and every chunk up to the sample data lies inside the file. Only the sample
// data may claim more than the file holds (a recording cut short). A damaged chunk size sends
// libsndfile's own parser into a loop that does not end, so nothing reaches it unchecked.
std::optional<QString> riffLayoutFault(QIODevice& device);

// Reads a RIFF WAVE file block by block, so that a sound of any length takes the same memory.
// Opening checks the chunks first and gives libsndfile's header parser a deadline; a file that
// fails either is refused with SoundFileError like any other file that cannot be played.
class WaveReader {
public:
    explicit WaveReader(const QString& path);
    // Reads from the device (open for reading, random access); the reader takes it over.
    explicit WaveReader(std::unique_ptr<QIODevice> device);
    ~WaveReader();
    WaveReader(const WaveReader&) = delete;
    WaveReader& operator=(const WaveReader&) = delete;

    const WaveCoding& coding() const { return m_coding; }
    int sampleRate() const { return m_coding.sampleRate; }
    int channels() const { return m_coding.channels; }
    // The frames the header promises; the file may hold fewer.
    qint64 frames() const { return m_frames; }

    // The reason given for a header that libsndfile could not read in time.
    static QString deadlineReason() { return QStringLiteral("WAV文件头无法读出"); }

    // Reads up to maxFrames interleaved frames as floats of -1..1; 0 at the end of the samples.
    qint64 read(float* out, qint64 maxFrames);

private:
    struct Open;
    std::shared_ptr<Open> m_open;
    WaveCoding m_coding;
    qint64 m_frames = 0;
};

// How long libsndfile may take to read a header before the file counts as one that cannot be played.
constexpr int kWaveOpenDeadlineMs = 3000;
