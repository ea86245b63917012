#include "phone/AlarmCallSequence.h"

#include "phone/CallStates.h"
#include "platform/AppError.h"
#include "platform/TickClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
// The state index of a connected call, as CurrentCallState reports it.
constexpr int kConnectedIndex = 8;
// The longest wait for the idle state after a hang-up: the device gives up on a reply after 30 s.
constexpr int kIdleCapMs = 35000;
// How soon a start that found the line still being cleaned up tries again.
constexpr int kDeferredStartMs = 20;
} // namespace

AlarmCallSequence::AlarmCallSequence(LineDevice& tel, Host host, const TickClock& clock, QObject* parent)
    : QObject(parent)
    , m_tel(tel)
    , m_host(std::move(host))
    , m_clock(clock)
{
    m_tDelayTone.setSingleShot(true);
    m_tDelayTone.setInterval(m_waits.redialDelayMs);
    connect(&m_tDelayTone, &QTimer::timeout, this, &AlarmCallSequence::tDelayToneTimer);
    m_deferredStart.setSingleShot(true);
    m_deferredStart.setInterval(kDeferredStartMs);
    connect(&m_deferredStart, &QTimer::timeout, this, [this] {
        if (m_deferredGeneration == m_generation)
            reported([this] { CallNextNumber(); });
    });
    m_tel.OnTapiConnect = [this] { TelTapiConnect(); };
    m_tel.OnTapiStatus = [this](bool, bool, int, int message, int param1, int, int) { TelTapiStatus(message, param1); };
    m_tel.OnTapiFail = [this] { TelTapiFail(); };
    m_tel.OnTapiDTMF = [this](QChar digit, int) { TelTapiDTMF(digit); };
    m_tel.OnTapiWaveNotify = [this](LineDevice::WaveMessage msg) { TelTapiWaveNotify(msg); };
}

void AlarmCallSequence::setWaits(const Waits& waits)
{
    m_waits = waits;
    m_tDelayTone.setInterval(waits.redialDelayMs);
}

QString AlarmCallSequence::entryAt(int position) const
{
    const QStringList lines = m_host.phoneLines();
    return position >= 0 && position < lines.size() ? lines.at(position) : QString();
}

void AlarmCallSequence::pumpUntil(const std::function<bool()>& done, int capMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(5);
    // exit() ends the window's event loops but not a loop of processEvents: the end is watched here.
    const auto ending = [this] { return m_host.ending && m_host.ending(); };
    while (!done() && !ending() && clock.elapsed() < capMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void AlarmCallSequence::PumpWait(int ms)
{
    const quint32 start = m_clock.now();
    pumpUntil([&] { return TickClock::elapsed(start, m_clock.now()) >= quint32(std::max(ms, 0)); },
              std::numeric_limits<int>::max());
}

void AlarmCallSequence::CallNextNumber()
{
    const quint64 generation = ++m_generation;
    m_stopped = false;
    m_tDelayTone.stop();
    m_deferredStart.stop();
    // A sound still playing into a call ends first; a line that vanishes ends it too.
    pumpUntil([this] { return m_tel.WaveState() == 0; }, kIdleCapMs);
    hangUp();
    if (generation != m_generation)
        return; // a later start or an end came in while the line was hung up
    if (m_tel.lineInUse()) {
        // This start runs inside a wait of the device's own clean-up of the last call (a received
        // alarm or a ping cycle arriving there): a dial now would find the line still open and go
        // nowhere. It is made again once that clean-up is over.
        m_deferredGeneration = m_generation;
        m_deferredStart.start();
        return;
    }
    if (m_tel.SelectedDevice().isEmpty())
        m_tel.ChooseDevice();
    try {
        m_tel.setEnableVoice(true);
    } catch (const std::exception&) {
        m_host.addInfo(QStringLiteral("当前设备不支持语音扩展！"));
        return;
    }
    m_callStartTick = m_clock.now();
    const QStringList lines = m_host.phoneLines();
    if (m_position < lines.size() && !lines.at(m_position).trimmed().isEmpty()) {
        if (m_host.soundList().isEmpty()) {
            m_host.addInfo(QStringLiteral("报警声音未设置，不能进行电话报警！"));
            return;
        }
        m_tel.PlaceCall(lines.at(m_position));
        ++m_position;
    } else if (m_position >= lines.size() && !lines.isEmpty()) {
        m_host.addInfo(QStringLiteral("电话报警通知完毕！"));
    }
}

void AlarmCallSequence::EndAlarmCall()
{
    ++m_generation;
    m_stopped = true;
    m_tDelayTone.stop();
    m_deferredStart.stop();
    hangUp();
    m_tDelayTone.stop(); // a disconnection reported by the hang-up itself redials nothing
}

void AlarmCallSequence::hangUp()
{
    if (m_tel.cancelRequested())
        return;
    m_tel.OnTapiFail = nullptr;
    try {
        m_tel.HangUp();
    } catch (const std::exception&) {
        // The hang-up's own failure is not reported: the call is over either way.
    }
    m_host.addInfo(QStringLiteral("结束通话......"));
    pumpUntil([this] { return m_tel.CurrentCallState() == 0; }, kIdleCapMs);
    PumpWait(m_waits.afterHangUpMs);
    m_tel.OnTapiFail = [this] { TelTapiFail(); };
}

void AlarmCallSequence::PlayAlarmOnLine()
{
    m_tel.PlayOnSoundCard = false;
    if (m_tel.CurrentCallState() != kConnectedIndex)
        return;
    m_tel.StopWave();
    QString file;
    if (m_test) {
        if (!m_host.testRecording().trimmed().isEmpty())
            file = m_host.testRecording();
    } else if (!m_host.soundList().isEmpty()) {
        file = m_host.soundList().value(m_host.soundIndex());
    }
    if (file.isEmpty()) {
        // Nothing is left to play (the alarm was reset while the call ran): without a sound no
        // play-done would ever come, and the call would stay on the line.
        EndAlarmCall();
        return;
    }
    m_tel.PlayWave(file);
}

void AlarmCallSequence::reported(const std::function<void()>& step)
{
    try {
        step();
    } catch (const AppError& error) {
        // The sequence stops there, and a call it leaves is not left on the line.
        m_host.addInfo(error.text());
        EndAlarmCall();
    }
}

void AlarmCallSequence::TelTapiConnect()
{
    const quint64 generation = m_generation;
    m_host.addInfo(QStringLiteral("正在拨号:") + entryAt(m_position - 1) + QStringLiteral("......"));
    PumpWait(m_waits.afterConnectMs);
    if (generation == m_generation)
        reported([this] { PlayAlarmOnLine(); });
}

void AlarmCallSequence::TelTapiStatus(int message, int param1)
{
    if (message != CallStates::kCallStateMessage)
        return;
    switch (quint32(param1)) {
    case CallStates::kRingback:
        m_host.addInfo(QStringLiteral("回铃声，对方线路不通！"));
        break;
    case CallStates::kBusy:
        m_host.addInfo(QStringLiteral("忙音，对方忙！"));
        break;
    case CallStates::kDisconnected:
        if (!m_stopped && !is(StopKey, m_lastKey) && !is(ContinueKey, m_lastKey))
            m_tDelayTone.start();
        break;
    default:
        break;
    }
}

void AlarmCallSequence::tDelayToneTimer()
{
    m_tDelayTone.stop();
    if (m_stopped)
        return;
    m_host.addInfo(QStringLiteral("断线重拨:") + entryAt(m_position) + QStringLiteral("......"));
    nextNumberAfter(QString(), m_waits.beforeNextNumberMs);
}

void AlarmCallSequence::nextNumberAfter(const QString& caption, int ms)
{
    if (!caption.isEmpty())
        m_host.addInfo(caption);
    const quint64 generation = m_generation;
    PumpWait(ms);
    if (generation == m_generation && !m_stopped)
        reported([this] { CallNextNumber(); });
}

void AlarmCallSequence::TelTapiFail()
{
    m_host.addInfo(QStringLiteral("TapiFail"));
    const int code = m_tel.FailureCode();
    switch (code) {
    case 0x20:
        m_host.addInfo(QStringLiteral("所拨电话号码忙，请稍候再试！"));
        break;
    case 0x40:
        m_host.addInfo(QStringLiteral("所拨电话号码无回应，请稍候再试！"));
        break;
    case 0x1000:
        m_host.addInfo(QStringLiteral("无拨号音, 请检查电话线路质量！"));
        break;
    default:
        m_host.addInfo(QStringLiteral("其他故障：") + m_tel.FailureText(code));
        break;
    }
}

void AlarmCallSequence::TelTapiCallerID(const QString& id, const QString& idName)
{
    m_host.addInfo(id + QStringLiteral(":") + idName);
}

void AlarmCallSequence::TelTapiDTMF(QChar digit)
{
    m_host.addInfo(QStringLiteral("收到对方按键：") + digit);
    m_lastKey = digit;
    if (is(StopKey, digit) || is(ContinueKey, digit)) {
        m_tel.StopWave();
    } else if (is(PauseKey, digit)) {
        if (m_host.togglePause)
            m_host.togglePause();
        reported([this] { m_tel.SendDigits(QStringLiteral("#")); });
    }
}

void AlarmCallSequence::TelTapiWaveNotify(LineDevice::WaveMessage msg)
{
    if (msg != LineDevice::waPlayDone)
        return;
    const qint64 limitMs = qint64(m_host.maxTimeMinutes()) * m_waits.minuteMs;
    const qint64 playedMs = TickClock::elapsed(m_callStartTick, m_clock.now());
    if (playedMs > limitMs || is(StopKey, m_lastKey) || is(ContinueKey, m_lastKey)) {
        const QChar key = m_lastKey;
        const quint64 generation = m_generation;
        hangUp();
        m_lastKey = QChar();
        if (generation != m_generation)
            return; // a start or an end inside the hang-up's waits took over
        if (is(StopKey, key))
            m_stopped = true;
        else if (is(ContinueKey, key))
            nextNumberAfter(QStringLiteral("拨打下一用户:") + entryAt(m_position) + QStringLiteral("......"),
                            m_waits.beforeNextNumberMs);
        return;
    }
    if (is(ReplayKey, m_lastKey)) {
        m_lastKey = QChar();
        m_host.setSoundIndex(0);
        reported([this] { PlayAlarmOnLine(); });
        return;
    }
    const quint64 generation = m_generation;
    PumpWait(m_waits.betweenPlaysMs);
    if (generation == m_generation)
        reported([this] { PlayAlarmOnLine(); });
}
