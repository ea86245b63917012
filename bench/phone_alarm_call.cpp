// The alarm call's start on the headless window: from the end of the ping cycle's last echo request
// (the one address fails) to the first audio byte of the alarm sound at the simulated modem, with the
// wait after the answer set to 0. The called party answers at once (no ring), so what is measured is
// the monitor's own path: verdict, alarm dispatch, voice set-up of the line, dial, answer, play.
#include "EventLoopWait.h"
#include "ModemThread.h"
#include "app/AppContext.h"
#include "app/Prompter.h"
#include "app/TelephonePage.h"
#include "app/TfrmTarnwick.h"
#include "app/WindowUi.h"
#include "monitor/EchoProbe.h"
#include "phone/VoiceModem.h"
#include "platform/CodePage.h"
#include "records/InfoPane.h"
#include "sound/WaveFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Every address fails at once; the end of the last request is taken as the end of the cycle's probing.
class FailingProbe final : public EchoProbe {
public:
    void setHost(const QString&) override {}
    void ping() override
    {
        lastEndNs = nowNs();
        throw std::runtime_error("no route");
    }
    const ReplyStatus& replyStatus() const override { return m_status; }

    qint64 lastEndNs = 0;

private:
    ReplyStatus m_status;
};

// When the last dial and the first audio byte of the current call reached the modem.
struct ModemTimes {
    std::atomic<qint64> dialNs{0};
    std::atomic<qint64> firstAudioNs{0};
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.1f ms, min %.1f ms, 90th %.1f ms, max %.1f ms\n", what, ms[ms.size() / 2], ms.front(),
                ms[ms.size() * 9 / 10], ms.back());
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    writeFile(dir.filePath("Ip.txt"), CodePage::toGbk(QStringLiteral("10.0.0.1:甲\r\n")));
    writeFile(dir.filePath("AlarmTelNo.txt"), "5550001\r\n");
    writeFile(dir.filePath("Para.ini"), "[NetPara]\r\nRecPort=0\r\n[PingPara]\r\nPingCount=1\r\nA1=1\r\nA2=1\r\n");
    PcmSound sound{8000, 1, std::vector<qint16>(8000)};
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = qint16(7000 * std::sin(double(i) / 4));
    writeWaveFile(dir.filePath("alarm.wav"), sound, 16);

    ModemTimes times;
    ModemThread modem([&times](SimulatedModem& sim) {
        sim.ringMs = 0;
        sim.callees = {SimulatedModem::Callee{SimulatedModem::Callee::Answer, 0}};
        QObject::connect(&sim, &SimulatedModem::commandReceived, [&times](const QByteArray& line) {
            if (line.startsWith("ATD"))
                times.dialNs = nowNs();
        });
        QObject::connect(&sim, &SimulatedModem::audioReceived, [&times](qint64) {
            if (times.firstAudioNs == 0)
                times.firstAudioNs = nowNs();
        });
    });
    FailingProbe probe;
    StreamPrompter prompter;
    AppContext context;
    context.dataDir = dir.path();
    context.prompter = &prompter;
    context.headless = true;
    context.probe = &probe;
    context.alarmPort = 0;
    context.modems = {modem.path()};
    context.autostartLocation = dir.filePath("autostart");
    TfrmTarnwick window(context);
    window.FormCreate();
    TelephonePage& page = window.telephone();
    page.modem().setScanSystemPorts(false);
    page.modem().setLockFolder(dir.path());
    AlarmCallSequence::Waits waits;
    waits.afterConnectMs = 0;
    page.calls().setWaits(waits);
    window.ui().cbTel->setChecked(true);

    constexpr int kRounds = 25;
    std::vector<double> toDial, toAudio;
    for (int round = 0; round < kRounds; ++round) {
        times.dialNs = 0;
        times.firstAudioNs = 0;
        window.ui().bbPing->click(); // the cycle, its verdict and the dial
        if (!waitFor([&] { return times.firstAudioNs != 0; }, 5000)) {
            std::printf("round %d: no audio reached the modem; the pane:\n%s\n", round,
                        qPrintable(window.pane().info().lines().join(QLatin1Char('\n'))));
            break;
        }
        toDial.push_back(double(times.dialNs - probe.lastEndNs) / 1e6);
        toAudio.push_back(double(times.firstAudioNs - probe.lastEndNs) / 1e6);
        window.EndAlarmCall();
    }
    if (toAudio.empty())
        return 0;
    std::printf("%zu alarm calls, the wait after the answer set to 0, the called party answering at once\n",
                toAudio.size());
    report("end of the cycle's last echo request to the dial at the modem", toDial);
    report("end of the cycle's last echo request to the first audio byte at the modem (goal 100 ms)", toAudio);
    window.FormDestroy();
    return 0;
}
