#pragma once

// The far end of SIP calls in the tests: a second baresip on loopback, and what to check its
// recording with.
#include "EventWait.h"
#include "phone/BaresipControl.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <utility>

namespace SipParty {
// Whether TCP and UDP port `port` of loopback can be bound now.
inline bool portFree(quint16 port)
{
    for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
        const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!bound)
            return false;
    }
    return true;
}

// Twenty ports of one test run, apart from those of other runs on the machine and below the range
// the system hands out to sockets bound to port 0 (32768 on): SIP takes base + 2 and the one after
// it (TLS), RTP base + 10 to base + 17, the control port base + 19. The slot follows the process
// number and moves on past slots with a port in use.
inline quint16 basePort()
{
    static const quint16 base = [] {
        const qint64 slot = QCoreApplication::applicationPid() % 1000;
        for (qint64 i = 0; i < 1000; ++i) {
            const quint16 candidate = quint16(10000 + (slot + i) % 1000 * 20);
            bool free = true;
            for (quint16 offset = 0; offset < 20 && free; ++offset)
                free = portFree(quint16(candidate + offset));
            if (free)
                return candidate;
        }
        return quint16(10000 + slot * 20);
    }();
    return base;
}

inline void writeSine(const QString& path, double hz, double seconds)
{
    PcmSound sound{8000, 1, std::vector<qint16>(std::size_t(seconds * 8000))};
    for (std::size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16(12000 * std::sin(2 * M_PI * hz * double(i) / 8000));
    writeWaveFile(path, sound, 16);
}

// The called party: a second baresip on loopback that answers (or rejects, or lets it ring), records
// what it hears and presses keys through its own control port.
class CalledParty {
public:
    enum Answer { Auto, Reject, Ring };

    CalledParty(const QString& folder, Answer answer)
        : m_folder(folder)
    {
        QDir().mkpath(folder + "/rec");
        writeSine(folder + "/silence.wav", 0, 30);
        const quint16 base = basePort();
        m_port = quint16(base + 2);
        m_control = quint16(base + 19);
        QFile config(folder + "/config");
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("sip_listen\t127.0.0.1:%1\nrtp_ports\t%2-%3\nrtcp_mux\tno\n"
                                    "audio_source\taufile,%4/silence.wav\nmodule_path\t/usr/lib/baresip/modules\n"
                                    "module\tg711.so\nmodule\taufile.so\nmodule\tsndfile.so\nmodule_tmp\taccount.so\n"
                                    "module_app\tmenu.so\nmodule_app\tctrl_tcp.so\nctrl_tcp_listen\t127.0.0.1:%5\n"
                                    "snd_path\t%4/rec\nringback_disabled\tyes\nnet_interface\t127.0.0.1\n"
                                    "jitter_buffer_delay\t0-0\nstatmode_default\toff\n")
                         .arg(m_port)
                         .arg(base + 10)
                         .arg(base + 17)
                         .arg(folder)
                         .arg(m_control)
                         .toUtf8());
        config.close();
        QFile accounts(folder + "/accounts");
        accounts.open(QIODevice::WriteOnly);
        accounts.write(QStringLiteral("<sip:b@127.0.0.1>;regint=0;audio_codecs=PCMU;answermode=%1\n")
                           .arg(answer == Auto ? "auto" : "manual")
                           .toUtf8());
        accounts.close();
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.setStandardOutputFile(folder + "/log");
        m_process.start("baresip", {"-f", folder});
        m_ready = m_process.waitForStarted() && control.connectTo(m_control, 5000);
        QObject::connect(&control, &BaresipControl::event, [this, answer](const QJsonObject& event) {
            const QString type = event.value("type").toString();
            if (type == "CALL_INCOMING") {
                ++offered;
                if (answer == Reject)
                    control.command("hangup", {}, 2000, nullptr);
            }
            if (type == "CALL_DTMF_START")
                heard.append(event.value("param").toString());
            if (type == "CALL_CLOSED")
                closed.append(event.value("param").toString());
            // The keys of the script are pressed in the first call only.
            if (type == "CALL_ESTABLISHED" && ++answered == 1)
                for (const auto& [afterMs, key] : keys)
                    QTimer::singleShot(afterMs, &control,
                                       [this, key] { control.command("sndcode", QString(QChar(key)), 2000, nullptr); });
        });
    }
    ~CalledParty()
    {
        control.command("quit", {}, 1000, nullptr);
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool ready() const { return m_ready; }
    QString uri() const { return QStringLiteral("sip:b@127.0.0.1:%1").arg(m_port); }
    // What it heard: the received side of its recording.
    QString recording() const
    {
        const QStringList files = QDir(m_folder + "/rec").entryList({"*-dec.wav"});
        return files.isEmpty() ? QString() : m_folder + "/rec/" + files.first();
    }

    BaresipControl control;
    QString heard;
    int answered = 0;
    int offered = 0;              // incoming calls, answered or not
    QStringList closed;           // why each call ended, as baresip says
    QList<QPair<int, char>> keys; // pressed this many ms after the first call is answered

private:
    QString m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_control = 0;
    bool m_ready = false;
};

// The loud part of the recording: its length in seconds and its frequency from the zero crossings.
inline std::pair<double, double> toneIn(const PcmSound& sound)
{
    const int window = 400; // 50 ms
    int best = 0, run = 0, bestCrossings = 0, crossings = 0;
    for (std::size_t start = 0; start + window <= sound.samples.size(); start += window) {
        double energy = 0;
        int zc = 0;
        for (int i = 0; i < window; ++i) {
            const qint16 s = sound.samples[start + i];
            energy += double(s) * s;
            if (start + i > 0 && (s >= 0) != (sound.samples[start + i - 1] >= 0))
                ++zc;
        }
        if (std::sqrt(energy / window) > 3000) {
            ++run;
            crossings += zc;
        }
        if (run > best) {
            best = run;
            bestCrossings = crossings;
        }
    }
    const double seconds = best * window / 8000.0;
    return {seconds, seconds > 0 ? bestCrossings / 2.0 / seconds : 0};
}
} // namespace SipParty
