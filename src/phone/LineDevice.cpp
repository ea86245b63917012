#include "phone/LineDevice.h"

#include "phone/CallStates.h"
#include "phone/VoiceFormat.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <utility>

LineDevice::LineDevice(LineProvider* provider, QObject* parent)
    : QObject(parent)
    , m_provider(provider)
    , m_player(provider, [this](CallWavePlayer::Notice notice) {
        const WaveMessage msg = notice == CallWavePlayer::PlayOpen   ? waPlayOpen
                                : notice == CallWavePlayer::PlayDone ? waPlayDone
                                                                     : waPlayClose;
        // Posted like the line's messages: the sound ends inside the provider's read handler, where a
        // handler's waits would never see the line's next answer (a serial port does not signal new
        // data again while its own signal is being handled).
        QMetaObject::invokeMethod(
            this,
            [this, msg] {
                guarded([&] {
                    if (OnTapiWaveNotify)
                        OnTapiWaveNotify(msg);
                });
            },
            Qt::QueuedConnection);
    })
{
    m_retryTicker.setInterval(m_timing.tickMs);
    connect(&m_retryTicker, &QTimer::timeout, this, &LineDevice::retryTick);
    if (!m_provider)
        return;
    // The line's messages arrive through the message loop, never inside the provider's read handler.
    connect(
        m_provider, &LineProvider::replied, this,
        [this](int result) {
            m_replyArrived = true;
            m_replyResult = result;
        },
        Qt::QueuedConnection);
    connect(m_provider, &LineProvider::callStateChanged, this, &LineDevice::onCallState, Qt::QueuedConnection);
    connect(m_provider, &LineProvider::keyPressed, this, &LineDevice::onKey, Qt::QueuedConnection);
    connect(m_provider, &LineProvider::lineClosed, this, &LineDevice::onLineClosed, Qt::QueuedConnection);
}

LineDevice::~LineDevice()
{
    OnTapiFail = nullptr;
    OnTapiWaveNotify = nullptr;
    m_retryArmed = false;
    m_retryTicker.stop();
    if (m_provider && m_provider->isOpen())
        m_provider->close();
}

void LineDevice::refreshDevices()
{
    m_lines = m_provider ? m_provider->lines() : QList<LineProvider::Line>();
    m_deviceNames.clear();
    for (const LineProvider::Line& line : m_lines)
        if (!FilterUnsupportedDevices || line.data || line.voice)
            m_deviceNames.append(line.name);
}

QStringList LineDevice::selectionEntries(bool linesOnly) const
{
    QStringList entries = ShowTapiDevices ? m_deviceNames : QStringList();
    if (ShowPorts && !linesOnly) {
        // The serial ports COM1 to COM50 are ttyS0 to ttyS49 here.
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
            bool ok = false;
            const int n = port.portName().mid(4).toInt(&ok);
            if (port.portName().startsWith(QLatin1String("ttyS")) && ok && n < 50)
                entries.append(QStringLiteral("Direct to COM%1").arg(n + 1));
        }
    }
    return entries;
}

int LineDevice::ChooseDevice()
{
    auto entries = [this] {
        refreshDevices();
        return selectionEntries(false);
    };
    const auto chosen = m_chooser ? m_chooser(entries, m_selected) : std::nullopt;
    if (!chosen)
        return 2;
    m_selected = *chosen;
    setEnableVoice(m_enableVoice);
    return 1;
}

bool LineDevice::lineHasVoice(const QString& name)
{
    auto find = [&] {
        return std::find_if(m_lines.begin(), m_lines.end(),
                            [&](const LineProvider::Line& l) { return l.name == name; });
    };
    if (find() == m_lines.end())
        refreshDevices();
    const auto line = find();
    return line != m_lines.end() && line->voice;
}

void LineDevice::setEnableVoice(bool on)
{
    m_enableVoice = on;
    if (on && !m_selected.isEmpty() && !lineHasVoice(m_selected)) {
        m_enableVoice = false;
        throw TapiErrors::make(TapiErrors::kVoiceNotSupported);
    }
}

int LineDevice::CurrentCallState() const
{
    if (!m_callExists || !m_provider)
        return 0;
    return CallStates::indexOf(m_provider->callState());
}

QString LineDevice::FailureText(int code) const
{
    if (code == m_failureCode && !m_failureReason.isEmpty())
        return m_failureReason;
    if (code >= 0)
        return QStringLiteral("Disconnected: %1").arg(DisconnectModes::describe(quint32(code)));
    return TapiErrors::describe(code);
}

void LineDevice::PlaceCall(const QString& number)
{
    if (!m_provider)
        throw TapiErrors::make(TapiErrors::kPortNotAssigned);
    if (m_callExists && CurrentCallState() != 0)
        throw TapiErrors::make(TapiErrors::kBusy);
    m_attempt = 1;
    m_retryArmed = true;
    m_number = number;
    m_failReported = false;
    dialAttempt();
}

void LineDevice::lookUpLine()
{
    if (m_deviceNames.isEmpty() || !m_deviceNames.contains(m_selected))
        refreshDevices();
    if (m_deviceNames.contains(m_selected))
        return;
    if (m_deviceNames.size() == 1 && m_selected.isEmpty()) {
        m_selected = m_deviceNames.first();
        return;
    }
    if (!ShowPorts && !ShowTapiDevices)
        throw TapiErrors::make(TapiErrors::kNoSelect);
    const auto chosen = m_chooser ? m_chooser([this] { return selectionEntries(true); }, m_selected) : std::nullopt;
    if (!chosen || !m_deviceNames.contains(*chosen))
        throw TapiErrors::make(TapiErrors::kNoSelect);
    m_selected = *chosen;
}

void LineDevice::dialAttempt()
{
    if (m_lineOpen)
        return; // the caller hangs up first
    m_cancelRequested = false;
    m_everConnected = false;
    m_busySeen = false;
    m_failureReason.clear();
    lookUpLine();
    // Taken before the open, whose waits may run a nested PlaceCall that stores another number.
    const QString number = m_number;
    m_provider->open(m_selected, m_enableVoice);
    m_lineOpen = true;
    // Asked of the open line: which line it is decides how a number is dialled.
    QString invalid;
    const QByteArray dialString = m_provider->dialString(number, &invalid);
    if (dialString.isEmpty())
        return failAttempt(TapiErrors::codeOf(TapiErrors::kInvalAddress), invalid);
    m_replyArrived = false;
    m_idleReported = false;
    m_dialPending = true;
    m_provider->dial(dialString);
    const int wait = waitForReply();
    m_dialPending = false;
    if (std::exchange(m_connectHeld, false) && m_connected)
        postConnect();
    if (wait == 2)
        return failAttempt(TapiErrors::codeOf(TapiErrors::kOperationFailed),
                           QStringLiteral("The line did not answer the dial request"));
    if (wait == 0 && m_replyResult < 0)
        return failAttempt(m_replyResult, {});
    // The call exists once the line has taken the request (a line closed meanwhile has none).
    m_callExists = m_lineOpen;
}

// A dial the line refused: no retry, the failure reported once.
void LineDevice::failAttempt(int code, const QString& reason)
{
    m_failureCode = code;
    m_failureReason = reason;
    m_retryArmed = false;
    const bool handled = bool(OnTapiFail);
    const bool report = !m_failReported;
    if (!handled)
        m_failReported = true; // no notice to post: the error goes to the caller instead
    cleanUp(false);
    if (!handled && report)
        throw TapiErrors::make(TapiErrors::kCallUnavail, reason.isEmpty() ? FailureText(code) : reason);
}

bool LineDevice::pumpUntil(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    if (!m_waitDeadline.isForever())
        ms = int(std::min<qint64>(ms, m_waitDeadline.remainingTime()));
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

int LineDevice::waitForReply()
{
    if (m_waiting)
        return 1;
    m_waiting = true;
    const bool replied = pumpUntil([this] { return m_replyArrived || !m_lineOpen; }, m_timing.replyWaitMs);
    m_waiting = false;
    if (!m_lineOpen)
        return 1;
    return replied ? 0 : 2;
}

void LineDevice::cleanUp(bool byHangUp)
{
    if (m_cleaningUp)
        return;
    m_cleaningUp = true;
    if (m_callExists || m_dialPending) {
        if (m_provider->callState() != CallStates::kIdle && m_provider->isOpen()) {
            m_replyArrived = false;
            m_idleReported = false;
            m_provider->drop();
            waitForReply();
            pumpUntil([this] { return m_idleReported || !m_lineOpen; }, m_timing.replyWaitMs);
        }
        m_callExists = false;
    }
    if (m_lineOpen) {
        m_provider->close();
        m_lineOpen = false;
    }
    m_connected = false;
    m_cleaningUp = false;
    if (byHangUp)
        m_retryArmed = false;
    if (m_retryArmed && m_attempt < MaxAttempts) {
        startRetryTicker();
        return;
    }
    m_retryArmed = false;
    if (!m_everConnected)
        postFail();
}

void LineDevice::startRetryTicker()
{
    m_secondsLeft = RetryWait;
    m_retryTicker.setInterval(m_timing.tickMs);
    m_retryTicker.start();
}

void LineDevice::retryTick()
{
    if (!m_retryArmed) {
        m_retryTicker.stop();
        return;
    }
    --m_secondsLeft;
    if (m_callExists || m_secondsLeft > 0) {
        status(CallStates::kRetryWaitMessage, std::max(m_secondsLeft, 0), m_attempt);
        return;
    }
    m_retryTicker.stop();
    ++m_attempt;
    try {
        dialAttempt();
    } catch (const TapiError& error) {
        if (OnError)
            OnError(error.text());
        if (!m_failReported) {
            m_failureCode = error.code();
            m_failureReason = error.text();
            m_retryArmed = false;
            cleanUp(false);
        }
    }
}

void LineDevice::postConnect()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            guarded([this] {
                if (OnTapiConnect)
                    OnTapiConnect();
            });
        },
        Qt::QueuedConnection);
}

void LineDevice::postFail()
{
    if (m_failReported)
        return;
    m_failReported = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            guarded([this] {
                if (OnTapiFail)
                    OnTapiFail();
            });
        },
        Qt::QueuedConnection);
}

void LineDevice::HangUp()
{
    if (WaveState() == 1)
        StopWave();
    m_cancelRequested = true;
    m_retryArmed = false;
    m_retryTicker.stop();
    cleanUp(true);
}

void LineDevice::SendDigits(const QString& digits)
{
    if (!m_enableVoice)
        return;
    if (!m_callExists || !m_provider)
        throw TapiErrors::make(TapiErrors::codeOf(TapiErrors::kInvalCallHandle));
    m_provider->sendDigits(DialString::toneList(digits));
}

void LineDevice::status(int message, int param1, int param2)
{
    guarded([&] {
        if (OnTapiStatus)
            OnTapiStatus(false, false, 0, message, param1, param2, 0);
    });
}

void LineDevice::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const AppError& error) {
        if (OnError)
            OnError(error.text());
    } catch (const std::exception& error) {
        if (OnError)
            OnError(QString::fromLocal8Bit(error.what()));
    }
}

void LineDevice::onCallState(quint32 state, quint32 detail)
{
    if (!m_lineOpen)
        return;
    switch (state) {
    case CallStates::kIdle:
        m_idleReported = true;
        status(CallStates::kCallStateMessage, int(state), int(detail));
        cleanUp(false);
        break;
    case CallStates::kBusy:
        onBusy(detail);
        break;
    case CallStates::kSpecialInfo:
        status(CallStates::kCallStateMessage, int(state), int(detail));
        cleanUp(false);
        break;
    case CallStates::kConnected:
        if (m_connected)
            break;
        m_connected = m_everConnected = true;
        m_retryTicker.stop();
        m_retryArmed = false;
        status(CallStates::kCallStateMessage, int(state), int(detail));
        // A call answered before its dial request was replied to is reported once PlaceCall has
        // returned, as any other: the caller has not yet taken note of the number it dialled.
        if (m_dialPending)
            m_connectHeld = true;
        else
            postConnect();
        break;
    case CallStates::kDisconnected:
        // A busy number is busy however the line tells it: a result or a reason after the busy state,
        // or a disconnection for being busy, is retried as the busy state is, not reported as the end
        // of a call (which would move the alarm on to the next number).
        if (!m_everConnected && (m_busySeen || detail == DisconnectModes::kBusy)) {
            if (!m_busySeen)
                onBusy(0);
            break;
        }
        m_failureCode = int(detail);
        m_failureReason.clear();
        status(CallStates::kCallStateMessage, int(state), int(detail));
        cleanUp(false);
        break;
    default:
        status(CallStates::kCallStateMessage, int(state), int(detail));
    }
}

void LineDevice::onBusy(quint32 detail)
{
    // The busy tone alone ends the call as busy: the modem's own BUSY result may come after the
    // hang-up has cut the dial short, or never.
    m_busySeen = true;
    m_failureCode = int(DisconnectModes::kBusy);
    m_failureReason.clear();
    status(CallStates::kCallStateMessage, int(CallStates::kBusy), int(detail));
    cleanUp(false);
}

void LineDevice::onKey(char key)
{
    // Keys are watched from the connection on, and only on voice calls.
    if (!m_connected || !m_enableVoice || key == 0 || key == ' ')
        return;
    const bool playing = WaveState() == 1;
    if (InterruptOnDigit && playing)
        StopWave();
    else if (!InterruptOnDigit && playing)
        return;
    guarded([&] {
        if (OnTapiDTMF)
            OnTapiDTMF(QChar::fromLatin1(key), 0);
    });
}

void LineDevice::onLineClosed(const QString& reason)
{
    if (!m_lineOpen)
        return;
    m_lineOpen = false;
    m_callExists = m_dialPending = false;
    // A connected call that loses its line is disconnected, as if the far end had hung up.
    if (m_connected) {
        m_failureCode = int(DisconnectModes::kUnknown);
        status(CallStates::kCallStateMessage, int(CallStates::kDisconnected), int(DisconnectModes::kUnknown));
    }
    if (!m_everConnected) {
        m_failureCode = TapiErrors::codeOf(TapiErrors::kOperationFailed);
        m_failureReason = reason;
    }
    m_retryArmed = false;
    cleanUp(false);
    if (OnError && m_everConnected)
        OnError(reason);
}

void LineDevice::PlayWave(const QString& file)
{
    if (WaveState() == 1) {
        if (!InterruptOnDigit)
            return;
        StopWave();
        pumpUntil([this] { return WaveState() == 0; }, m_timing.replyWaitMs);
    }
    if (!QFileInfo(file).isFile())
        throw TapiErrors::make(TapiErrors::kWaveFileMissing,
                               QStringLiteral("The sound file \"%1\" does not exist").arg(file));
    if (!m_provider || !lineHasVoice(m_selected))
        throw TapiErrors::make(TapiErrors::kVoiceNotSupported);
    if (!m_connected || m_provider->callState() != CallStates::kConnected)
        throw TapiErrors::make(TapiErrors::kWaveFail, QStringLiteral("There is no connected call to play into"));
    if (!m_provider->canPlay())
        throw TapiErrors::make(TapiErrors::kWaveFail,
                               QStringLiteral("The modem offers no voice format a sound can be converted to"));
    m_player.play(file);
}

void LineDevice::StopWave()
{
    m_player.stop();
}
