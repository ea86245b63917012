#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <vector>

// The PulseAudio server that the test run starts: a null sink "tw_null" whose monitor shows what
// was played, and a 440 Hz sine source "tw_sine" to record.
namespace SoundServer {

inline QAudioDevice device(const QList<QAudioDevice>& devices, const QByteArray& id)
{
    for (const QAudioDevice& d : devices)
        if (d.id() == id)
            return d;
    return {};
}
inline QAudioDevice nullSink()
{
    return device(QMediaDevices::audioOutputs(), "tw_null");
}
inline QAudioDevice sineSource()
{
    return device(QMediaDevices::audioInputs(), "tw_sine");
}

// A null sink of the test's own, for as long as it lives: what its monitor hears was played by the
// test alone, not by another test that plays to the shared sink at the same time. A sink without
// rewinds lets its monitor hear every sample of a sound: a sink that rewinds to mix a starting
// sound in at once hands its monitor only what it mixed after the rewind.
class PrivateSink {
public:
    enum class Rewinds { Allowed, Off };
    explicit PrivateSink(Rewinds rewinds = Rewinds::Allowed)
        : m_name(QStringLiteral("tw_probe_%1").arg(QCoreApplication::applicationPid()).toLatin1())
    {
        QStringList arguments{QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                              QStringLiteral("sink_name=") + QString::fromLatin1(m_name)};
        if (rewinds == Rewinds::Off)
            arguments << QStringLiteral("norewinds=1");
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), arguments);
        if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
            return;
        m_module = pactl.readAllStandardOutput().trimmed();
        // The device list follows the server's announcements; device() stays null when none came.
        static_cast<void>(QTest::qWaitFor([this] { return !device().isNull(); }, 5000));
    }
    ~PrivateSink()
    {
        if (!m_module.isEmpty())
            QProcess::execute(QStringLiteral("pactl"),
                              {QStringLiteral("unload-module"), QString::fromLatin1(m_module)});
    }
    QAudioDevice device() const { return SoundServer::device(QMediaDevices::audioOutputs(), m_name); }
    QByteArray monitor() const { return m_name + ".monitor"; }
    QString name() const { return QString::fromLatin1(m_name); }

private:
    QByteArray m_name;
    QByteArray m_module;
};

// Records a sink's monitor, mono 44.1 kHz, for as long as the recorder lives.
class MonitorRecording {
public:
    explicit MonitorRecording(const QByteArray& monitor = "tw_null.monitor")
    {
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("-d"), QString::fromLatin1(monitor), QStringLiteral("--raw"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"), QStringLiteral("--channels=1"),
                       QStringLiteral("--latency-msec=10")});
        m_parec.waitForStarted(3000);
    }
    ~MonitorRecording()
    {
        m_parec.kill();
        m_parec.waitForFinished(3000);
    }
    bool running() const { return m_parec.state() == QProcess::Running; }
    // Waits until the recording delivers samples (the sink's silence), so that nothing played
    // afterwards is missed however long the recorder takes to connect.
    bool waitUntilRecording(int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (m_bytes.isEmpty() && clock.elapsed() < timeoutMs && running()) {
            m_parec.waitForReadyRead(50);
            m_bytes += m_parec.readAllStandardOutput();
        }
        return !m_bytes.isEmpty();
    }
    // Every sample recorded so far.
    std::vector<qint16> samples()
    {
        m_parec.waitForReadyRead(50);
        m_bytes += m_parec.readAllStandardOutput();
        std::vector<qint16> out(size_t(m_bytes.size() / 2));
        memcpy(out.data(), m_bytes.constData(), out.size() * 2);
        return out;
    }

private:
    QProcess m_parec;
    QByteArray m_bytes;
};

} // namespace SoundServer
