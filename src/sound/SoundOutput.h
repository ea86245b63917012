#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QObject>
#include <QThread>

#include <memory>

class SoundOutputWorker;
class WaveReader;

// Plays a WAV file on a sound output from a thread of its own: Qt feeds a sink from its thread's
// event loop, and the window's thread is blocked during an echo request or a mail exchange, which
// would cut an alarm sound short or stall it.
class SoundOutput : public QObject {
    Q_OBJECT
public:
    SoundOutput();
    ~SoundOutput() override;

    // Starts playing what the reader gives, converted to the format (16-bit), on the device; a play
    // still running is dropped without a notice. False when the device refuses.
    bool start(const QAudioDevice& device, const QAudioFormat& format, std::unique_ptr<WaveReader> reader,
               quint64 play);
    // Ends the play that runs, if any; no notice follows.
    void stop();

Q_SIGNALS:
    // In the owner's thread: the play has ended, successfully once the output has played its last
    // sample, or by a failure of the output.
    void ended(quint64 play, bool successful);

private:
    QThread m_thread;
    SoundOutputWorker* m_worker;
};
