#include "phone/VoiceModem.h"

#include "phone/CallStates.h"
#include "phone/TapiError.h"

#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QTimer>

namespace {
// How long closing the port waits for its last bytes to leave.
constexpr int kCloseFlushMs = 200;

// "0,1,8", "(0,1,2,8)", "0-2,8": whether class 8 (and class 0) are among them.
QList<int> classesOf(const QList<QByteArray>& lines)
{
    static const QRegularExpression item(QStringLiteral("(\\d+)(?:-(\\d+))?"));
    QList<int> classes;
    for (const QByteArray& line : lines)
        for (auto it = item.globalMatch(QString::fromLatin1(line)); it.hasNext();) {
            const auto match = it.next();
            const int low = match.captured(1).toInt();
            const int high = match.captured(2).isEmpty() ? low : match.captured(2).toInt();
            for (int c = low; c <= high && c <= 255; ++c)
                classes.append(c);
        }
    return classes;
}

QString describeReply(const ModemChannel::Reply& reply)
{
    QStringList parts;
    for (const QByteArray& line : reply.lines)
        parts.append(QString::fromLatin1(line.left(40)));
    parts.append(QString::fromLatin1(reply.result));
    return parts.join(u' ').trimmed();
}
} // namespace

VoiceModem::VoiceModem(const QStringList& extraPaths, QObject* parent)
    : LineProvider(parent)
    , m_extraPaths(extraPaths)
    , m_lockFolder(UucpLock::defaultFolder())
{}

VoiceModem::~VoiceModem()
{
    m_channel.reset();
}

QStringList VoiceModem::systemPorts()
{
    static const QRegularExpression modemPort(QStringLiteral("^tty(ACM|USB|S)\\d+$"));
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (modemPort.match(info.portName()).hasMatch())
            paths.append(info.systemLocation());
    return paths;
}

QList<LineProvider::Line> VoiceModem::lines()
{
    QStringList paths = m_scanSystemPorts ? systemPorts() : QStringList();
    for (const QString& extra : m_extraPaths)
        if (!paths.contains(extra))
            paths.append(extra);
    // The port in use is not probed again: it keeps what was found when it was free.
    QList<Found> found;
    QStringList toProbe;
    for (const QString& path : paths) {
        const auto known = std::find_if(m_found.begin(), m_found.end(), [&](const Found& f) { return f.path == path; });
        if (m_channel && m_channel->path() == path && known != m_found.end())
            found.append(*known);
        else
            toProbe.append(path);
    }
    found.append(probe(toProbe));
    m_found = found;
    QList<Line> result;
    for (const Found& f : m_found)
        result.append(f.line);
    return result;
}

// All ports are asked at once, so that ports without a modem cost one probe time together.
QList<VoiceModem::Found> VoiceModem::probe(const QStringList& paths)
{
    struct Probe {
        std::unique_ptr<ModemChannel> channel;
        Found found;
        bool answered = false;
    };
    std::vector<Probe> probes;
    for (const QString& path : paths) {
        auto channel = std::make_unique<ModemChannel>(path, m_lockFolder);
        QString error;
        int code = 0;
        if (channel->open(&error, &code))
            probes.push_back({std::move(channel), {path, {}}, false});
    }
    QEventLoop loop;
    int running = int(probes.size());
    auto finished = [&] {
        if (--running == 0)
            loop.quit();
    };
    for (Probe& p : probes) {
        ModemChannel* channel = p.channel.get();
        channel->command("ATE0V1", m_timing.probeMs, [&, channel](const ModemChannel::Reply& reply) {
            if (!reply.ok())
                return finished();
            p.answered = true;
            channel->command("ATI3", m_timing.probeMs, [&, channel](const ModemChannel::Reply& ident) {
                if (ident.ok() && !ident.lines.isEmpty())
                    p.found.line.name = QString::fromLatin1(ident.lines.first());
                channel->command("ATI", m_timing.probeMs, [&, channel](const ModemChannel::Reply& ident0) {
                    if (p.found.line.name.isEmpty() && ident0.ok() && !ident0.lines.isEmpty())
                        p.found.line.name = QString::fromLatin1(ident0.lines.first());
                    channel->command("AT+FCLASS=?", m_timing.probeMs, [&](const ModemChannel::Reply& classes) {
                        const QList<int> list = classes.ok() ? classesOf(classes.lines) : QList<int>{0};
                        p.found.line.voice = list.contains(8);
                        p.found.line.data = list.contains(0);
                        finished();
                    });
                });
            });
        });
    }
    if (running > 0)
        loop.exec();
    QList<Found> result;
    for (Probe& p : probes) {
        if (!p.answered)
            continue;
        QString port = p.found.path;
        if (port.startsWith(QLatin1String("/dev/")))
            port = port.mid(5);
        p.found.line.name = p.found.line.name.isEmpty() ? QStringLiteral("Modem (%1)").arg(port)
                                                        : QStringLiteral("%1 (%2)").arg(p.found.line.name, port);
        result.append(p.found);
    }
    return result;
}

void VoiceModem::fail(int code, const QString& text)
{
    m_channel.reset();
    m_format.reset();
    throw TapiErrors::make(code, text);
}

void VoiceModem::open(const QString& name, bool voice)
{
    if (m_channel)
        return;
    if (m_found.isEmpty())
        lines();
    const auto found =
        std::find_if(m_found.begin(), m_found.end(), [&](const Found& f) { return f.line.name == name; });
    if (found == m_found.end())
        throw TapiErrors::make(TapiErrors::kNoSelect, QStringLiteral("There is no line \"%1\"").arg(name));
    const QString path = found->path;
    m_channel = std::make_unique<ModemChannel>(path, m_lockFolder);
    QString error;
    int code = 0;
    if (!m_channel->open(&error, &code))
        fail(code, error);
    const int failed = TapiErrors::codeOf(TapiErrors::kOperationFailed);
    const ModemChannel::Reply hello = m_channel->commandAndWait("ATE0V1", m_timing.replyMs);
    if (!hello.answered() && hello.lines.isEmpty())
        fail(failed, QStringLiteral("The modem on %1 does not answer").arg(path));
    if (!hello.ok())
        fail(failed, QStringLiteral("The modem on %1 answers \"%2\"").arg(path, describeReply(hello)));
    m_voice = voice;
    m_format.reset();
    if (voice) {
        const ModemChannel::Reply mode = m_channel->commandAndWait("AT+FCLASS=8", m_timing.replyMs);
        if (!mode.answered())
            fail(failed, QStringLiteral("The modem on %1 does not answer").arg(path));
        if (!mode.ok())
            fail(TapiErrors::kVoiceNotSupported,
                 QStringLiteral("The modem on %1 refuses voice mode (%2)").arg(path, describeReply(mode)));
        const ModemChannel::Reply formats = m_channel->commandAndWait("AT+VSM=?", m_timing.replyMs);
        // A serial line at 115200 carries one byte a sample, not two: 16-bit sound would underrun.
        const auto best =
            formats.ok() ? VoiceFormat::best(formats.lines, ModemChannel::lineBytesPerSecond(path)) : std::nullopt;
        if (best &&
            m_channel->commandAndWait("AT+VSM=" + QByteArray::number(best->id) + ",8000", m_timing.replyMs).ok())
            m_format = best;
        // Flow control by CTS paces the sound; modems that refuse AT+IFC pace it anyway.
        m_channel->commandAndWait("AT+IFC=2,2", m_timing.replyMs);
    }
    if (!m_channel || !m_channel->isOpen())
        fail(failed, QStringLiteral("The serial line %1 was lost").arg(path));
    connect(m_channel.get(), &ModemChannel::codeReceived, this, &VoiceModem::onCode);
    connect(m_channel.get(), &ModemChannel::keyReceived, this, &LineProvider::keyPressed);
    connect(m_channel.get(), &ModemChannel::lost, this, &VoiceModem::onLost);
    connect(m_channel.get(), &ModemChannel::drained, this, [this] {
        if (m_audio == Audio::Playing)
            emit audioDrained();
    });
    connect(m_channel.get(), &ModemChannel::unsolicited, this, [this](const QByteArray& line) {
        if (line == "NO CARRIER" && m_state == CallStates::kConnected)
            setState(CallStates::kDisconnected, DisconnectModes::kNormal);
    });
    m_openName = name;
    m_state = CallStates::kIdle;
}

void VoiceModem::close()
{
    if (m_channel && m_channel->isOpen()) {
        // However the call was left, the line goes on hook: a sound still flowing is cut off first, and
        // the words are on their way before the port closes.
        if (m_channel->carriesData() || m_audio != Audio::None) {
            m_offHook = true;
            m_channel->clearOutput();
            m_channel->writeData(QByteArray("\x00\x10\x18\x10\x03", 5));
        }
        if (m_offHook) {
            // A dial still in progress is cut short by a character of its own first.
            m_channel->writeData(m_dialling ? "\rAT+VLS=0\r" : "AT+VLS=0\r");
            m_channel->flush(kCloseFlushMs);
        }
    }
    m_offHook = false;
    m_channel.reset();
    m_openName.clear();
    m_format.reset();
    m_dialling = m_dropping = false;
    m_audio = Audio::None;
    m_state = CallStates::kIdle;
}

bool VoiceModem::isOpen() const
{
    return m_channel && m_channel->isOpen();
}

void VoiceModem::setState(quint32 state, quint32 detail)
{
    if (state == m_state && state != CallStates::kDisconnected)
        return;
    m_state = state;
    emit callStateChanged(state, detail);
}

void VoiceModem::dial(const QByteArray& dialString)
{
    const int failed = TapiErrors::codeOf(TapiErrors::kOperationFailed);
    if (!isOpen()) {
        QTimer::singleShot(0, this, [this, failed] { emit replied(failed); });
        return;
    }
    m_dropping = false;
    // Hang-ups and time-outs may have put the modem back into class 0; dial only in voice mode.
    const QByteArray mode = m_voice ? "AT+FCLASS=8" : "AT+FCLASS=0";
    m_channel->command(mode, m_timing.replyMs, [this, dialString, failed](const ModemChannel::Reply& reply) {
        if (m_dropping || !reply.ok()) {
            emit replied(reply.answered() && !m_dropping ? TapiErrors::kVoiceNotSupported : failed);
            return;
        }
        if (m_voice)
            m_channel->command("AT+VLS=1", m_timing.replyMs, nullptr);
        m_channel->command("ATD" + dialString, m_timing.dialMs,
                           [this](const ModemChannel::Reply& result) { onDialResult(result); });
        m_dialling = m_offHook = true;
        setState(CallStates::kDialing);
        emit replied(0);
    });
}

void VoiceModem::onDialResult(const ModemChannel::Reply& reply)
{
    m_dialling = false;
    if (m_dropping || m_state == CallStates::kIdle)
        return;
    const QByteArray& r = reply.result;
    if (r == "OK" || r == "VCON" || r.startsWith("CONNECT")) {
        setState(CallStates::kConnected);
    } else if (r == "BUSY") {
        setState(CallStates::kBusy);
        setState(CallStates::kDisconnected, DisconnectModes::kBusy);
    } else if (r == "NO ANSWER") {
        setState(CallStates::kDisconnected, DisconnectModes::kNoAnswer);
    } else if (r == "NO DIALTONE" || r == "NO DIAL TONE") {
        setState(CallStates::kDisconnected, DisconnectModes::kNoDialTone);
    } else if (r.isEmpty()) {
        if (isOpen())
            onLost(QStringLiteral("The modem on %1 gave no result to the dial").arg(m_channel->path()));
    } else {
        setState(CallStates::kDisconnected, DisconnectModes::kUnavail);
    }
}

void VoiceModem::onCode(char code)
{
    if (m_dialling) {
        if (code == 'r')
            setState(CallStates::kRingback);
        else if (code == 'b')
            setState(CallStates::kBusy);
        else if (code == 'd' && m_state == CallStates::kDialing)
            setState(CallStates::kDialTone);
        return;
    }
    if (m_state != CallStates::kConnected)
        return;
    // Busy or reorder tone, a loop-current break, or the dial tone back: the far end has hung up.
    // Some modems report a false dial tone while they play, so that one counts only outside playback.
    if (code == 'b' || code == 'l' || (code == 'd' && m_audio == Audio::None))
        setState(CallStates::kDisconnected, DisconnectModes::kNormal);
}

void VoiceModem::onLost(const QString& reason)
{
    const bool playing = m_audio != Audio::None;
    m_channel.release()->deleteLater();
    m_format.reset();
    m_dialling = false;
    m_audio = Audio::None;
    m_state = CallStates::kIdle;
    if (playing)
        emit audioEnded();
    emit lineClosed(reason);
}

void VoiceModem::drop()
{
    if (!isOpen()) {
        m_state = CallStates::kIdle;
        answerDropOnClosedLine();
        return;
    }
    m_dropping = true;
    if (m_audio != Audio::None)
        abortAudio();
    if (m_dialling)
        m_channel->abortCommand();
    hangUpCommand();
}

void VoiceModem::hangUpCommand()
{
    m_channel->command("AT+VLS=0", m_timing.replyMs, [this](const ModemChannel::Reply& reply) {
        if (!reply.answered() && isOpen()) {
            onLost(QStringLiteral("The modem on %1 does not answer").arg(m_channel->path()));
            return;
        }
        if (!reply.ok() && m_channel)
            m_channel->command("ATH", m_timing.replyMs, nullptr);
        m_dropping = m_offHook = false;
        emit replied(0);
        setState(CallStates::kIdle);
    });
}

void VoiceModem::sendDigits(const QByteArray& toneList)
{
    if (!isOpen() || toneList.isEmpty())
        return;
    const int keys = int(toneList.count(',')) + 1;
    m_channel->command("AT+VTS=" + toneList, m_timing.replyMs + 500 * keys, [this](const ModemChannel::Reply& reply) {
        if (!reply.answered() && isOpen())
            onLost(QStringLiteral("The modem on %1 does not answer").arg(m_channel->path()));
    });
}

void VoiceModem::beginAudio()
{
    if (!isOpen() || !m_format || m_audio != Audio::None) {
        QTimer::singleShot(0, this, [this] { emit audioEnded(); });
        return;
    }
    m_audio = Audio::Starting;
    m_abortWhenConnected = false;
    m_channel->command("AT+VTX", m_timing.replyMs, [this](const ModemChannel::Reply& reply) {
        if (!reply.result.startsWith("CONNECT")) {
            endAudioState();
            return;
        }
        m_audio = Audio::Playing;
        if (m_abortWhenConnected)
            abortAudio();
        else
            emit audioOpened();
    });
}

void VoiceModem::writeAudio(const QVector<qint16>& samples)
{
    if (m_audio != Audio::Playing || !m_format)
        return;
    if (samples.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            if (m_audio == Audio::Playing)
                emit audioDrained();
        });
        return;
    }
    m_channel->writeData(VoiceData::shield(m_format->encode(samples.constData(), samples.size())));
}

void VoiceModem::endAudio()
{
    if (m_audio != Audio::Playing)
        return;
    m_audio = Audio::Ending;
    m_channel->writeData(QByteArray("\x10\x03", 2));
    m_channel->finishData(m_timing.replyMs, [this](const ModemChannel::Reply&) { endAudioState(); });
}

void VoiceModem::abortAudio()
{
    if (m_audio == Audio::Starting) {
        m_abortWhenConnected = true;
        return;
    }
    if (m_audio != Audio::Playing)
        return;
    m_audio = Audio::Ending;
    // What was queued is discarded; the leading zero pairs with a DLE the cut may have left alone.
    m_channel->clearOutput();
    m_channel->writeData(QByteArray("\x00\x10\x18\x10\x03", 5));
    m_channel->finishData(m_timing.replyMs, [this](const ModemChannel::Reply&) { endAudioState(); });
}

void VoiceModem::endAudioState()
{
    if (m_audio == Audio::None)
        return;
    m_audio = Audio::None;
    emit audioEnded();
}
