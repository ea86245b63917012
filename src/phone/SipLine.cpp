#include "phone/SipLine.h"

#include "phone/CallStates.h"
#include "phone/TapiError.h"
#include "phone/VoiceFormat.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {
constexpr int kRate = 8000;
// Trailing silence of each piece of sound: baresip ends the call when a source file runs out, so the
// program switches sources before that happens.
constexpr int kPadSamples = 2 * kRate;
// The source between sounds; its end would end the call, so it is switched to afresh with each use.
constexpr int kSilenceSeconds = 600;
// After a piece's own length, before it counts as played: baresip starts it a little late.
constexpr int kPlayMarginMs = 100;

const int kFailed = TapiErrors::codeOf(TapiErrors::kOperationFailed);

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A port free for UDP and TCP whose successor is free too: baresip listens on both and puts TLS on the
// next port.
quint16 freeSipPort(const QHostAddress& address)
{
    for (int tries = 0; tries < 20; ++tries) {
        QUdpSocket udp;
        if (!udp.bind(address, 0))
            return 0;
        const quint16 port = udp.localPort();
        if (port == 65535)
            continue;
        QUdpSocket udpNext;
        QTcpServer tcp, tcpNext;
        if (udpNext.bind(address, port + 1) && tcp.listen(address, port) && tcpNext.listen(address, port + 1))
            return port;
    }
    return 0;
}

// The local address a datagram to `host` leaves from; empty when there is no route or no such host.
QString localAddressTowards(const QString& host)
{
    QHostAddress target(host);
    if (target.isNull()) {
        const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
        const auto v4 = std::find_if(found.begin(), found.end(), [](const QHostAddress& a) {
            return a.protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (v4 == found.end())
            return {};
        target = *v4;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return {};
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5060);
    to.sin_addr.s_addr = htonl(target.toIPv4Address());
    sockaddr_in from{};
    socklen_t length = sizeof from;
    QString local;
    // Connecting a datagram socket sends nothing; it only picks the route.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&from), &length) == 0)
        local = QHostAddress(ntohl(from.sin_addr.s_addr)).toString();
    ::close(fd);
    return local;
}

// The disconnect mode of a call that ended before it was answered, from baresip's reason text.
quint32 modeOf(const QString& reason)
{
    static const QRegularExpression status(QStringLiteral("^(\\d{3})\\b"));
    const auto match = status.match(reason);
    if (!match.hasMatch())
        return reason.contains(QLatin1String("timed out"), Qt::CaseInsensitive) ? DisconnectModes::kUnreachable
                                                                                : DisconnectModes::kUnknown;
    switch (match.captured(1).toInt()) {
    case 486:
    case 600:
        return DisconnectModes::kBusy;
    case 603:
        return DisconnectModes::kReject;
    case 408:
    case 480:
    case 487:
        return DisconnectModes::kNoAnswer;
    case 404:
    case 484:
    case 604:
        return DisconnectModes::kBadAddress;
    default:
        return DisconnectModes::kUnavail;
    }
}
} // namespace

SipLine::SipLine(QObject* parent)
    : LineProvider(parent)
{
    m_noAnswer.setSingleShot(true);
    m_drained.setSingleShot(true);
    connect(&m_control, &BaresipControl::event, this, &SipLine::onEvent);
    connect(&m_control, &BaresipControl::lost, this, [this] {
        if (m_process.state() == QProcess::Running)
            onGone(QStringLiteral("baresip closed its control port"));
    });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        onGone(status == QProcess::CrashExit ? QStringLiteral("baresip crashed")
                                             : QStringLiteral("baresip stopped (exit code %1)").arg(code));
    });
    connect(&m_noAnswer, &QTimer::timeout, this, [this] {
        if (m_state == CallStates::kDialing || m_state == CallStates::kRingback) {
            m_control.command(QStringLiteral("hangup"), {}, m_timing.replyMs, nullptr);
            setState(CallStates::kDisconnected, DisconnectModes::kNoAnswer);
        }
    });
    connect(&m_drained, &QTimer::timeout, this, [this] {
        if (m_playing)
            emit audioDrained();
    });
}

SipLine::~SipLine()
{
    stop();
}

void SipLine::setAccount(const Account& account)
{
    if (account.account != m_account.account || account.password != m_account.password ||
        account.server != m_account.server)
        m_needsRestart = true;
    m_account = account;
}

QList<LineProvider::Line> SipLine::lines()
{
    if (m_account.account.trimmed().isEmpty())
        return {};
    return {Line{lineName(m_account.account.trimmed()), true, true}};
}

QString SipLine::serverHost() const
{
    QString server = m_account.server.trimmed();
    if (server.isEmpty())
        server = m_account.account.trimmed();
    server.remove(QRegularExpression(QStringLiteral("^sips?:"), QRegularExpression::CaseInsensitiveOption));
    server = server.section(u'@', -1).section(u';', 0, 0).section(u'>', 0, 0);
    return server;
}

QString SipLine::bindAddress() const
{
    if (!m_network.bindAddress.isEmpty())
        return m_network.bindAddress;
    return localAddressTowards(serverHost().section(u':', 0, 0));
}

// What goes into baresip's account line must stay one value each: its parameters end at a blank or
// ";", the address ends at ">" and the server goes into a parameter.
void SipLine::checkAccount()
{
    static const QRegularExpression badAddress(QStringLiteral("[\\s<>\"\\x00-\\x1f]"));
    static const QRegularExpression badPassword(QStringLiteral("[\\s;\\x00-\\x1f]"));
    const QString account = m_account.account.trimmed();
    if (!isSipAddress(account) || !account.contains(u'@') || badAddress.match(account).hasMatch())
        fail(QStringLiteral("\"%1\" is no SIP address for the station's account").arg(account));
    if (badPassword.match(m_account.password).hasMatch())
        fail(QStringLiteral("The SIP password holds a blank, \";\" or a control character, which baresip cannot take"));
    const QString server = m_account.server.trimmed();
    if (badAddress.match(server).hasMatch() || server.contains(u';'))
        fail(QStringLiteral("\"%1\" is no SIP server address").arg(server));
}

QByteArray SipLine::dialString(const QString& number, QString* error) const
{
    const QString entry = number.trimmed();
    if (isSipAddress(entry)) {
        static const QRegularExpression unsafe(QStringLiteral("[\\s<>\"\\\\\\x00-\\x1f]"));
        if (unsafe.match(entry).hasMatch() || !entry.contains(u'@')) {
            *error = QStringLiteral("\"%1\" is no SIP address that can be dialled").arg(entry);
            return {};
        }
        return entry.toUtf8();
    }
    QByteArray digits = DialString::clean(entry, error);
    if (digits.isEmpty())
        return {};
    // Pauses and dial-tone waits mean nothing to SIP.
    digits.replace(",", "").replace("W", "").replace("P", "").replace("T", "").replace("!", "");
    return "sip:" + digits + '@' + serverHost().toUtf8();
}

void SipLine::fail(const QString& text)
{
    throw TapiErrors::make(kFailed, text);
}

QString SipLine::logTail() const
{
    QFile log(m_folder + QStringLiteral("/baresip.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    return QString::fromLocal8Bit(lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(" / "));
}

void SipLine::writeFiles()
{
    const QString base =
        m_runtimeFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : m_runtimeFolder;
    m_folder = QStringLiteral("%1/sipline-%2").arg(base).arg(QCoreApplication::applicationPid());
    QDir(m_folder).removeRecursively();
    if (!QDir().mkpath(m_folder) ||
        !QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        fail(QStringLiteral("The folder %1 for baresip cannot be made").arg(m_folder));
    const QString silence = m_folder + QStringLiteral("/silence.wav");
    PcmSound quiet{kRate, 1, std::vector<qint16>(std::size_t(kSilenceSeconds) * kRate, 0)};
    try {
        writeWaveFile(silence, quiet, 16);
    } catch (const SoundFileError& error) {
        fail(error.reason());
    }
    const quint16 control = freeTcpPort();
    const QString bind = bindAddress();
    const QString listen = bind.isEmpty() ? QStringLiteral("0.0.0.0") : bind;
    const quint16 sipPort = m_network.sipPort ? m_network.sipPort : freeSipPort(QHostAddress(listen));
    if (sipPort == 0)
        fail(QStringLiteral("No port for SIP is free on %1").arg(listen));
    QStringList config{
        QStringLiteral("poll_method\tepoll"),
        QStringLiteral("sip_listen\t%1:%2").arg(listen).arg(sipPort),
        QStringLiteral("call_local_timeout\t120"),
        QStringLiteral("call_max_calls\t4"),
        QStringLiteral("audio_path\t/usr/share/baresip"),
        QStringLiteral("audio_source\taufile,%1").arg(silence),
        QStringLiteral("audio_buffer\t20-160"),
        QStringLiteral("ausrc_format\ts16"),
        QStringLiteral("auplay_format\ts16"),
        QStringLiteral("auenc_format\ts16"),
        QStringLiteral("audec_format\ts16"),
        QStringLiteral("rtp_ports\t%1-%2").arg(m_network.rtpFirst).arg(m_network.rtpLast),
        QStringLiteral("rtcp_mux\tno"),
        QStringLiteral("rtp_timeout\t10"),
        QStringLiteral("jitter_buffer_delay\t0-0"),
        QStringLiteral("rtp_stats\tno"),
        QStringLiteral("module_path\t/usr/lib/baresip/modules"),
        QStringLiteral("module\tg711.so"),
        QStringLiteral("module\taufile.so"),
        QStringLiteral("module_tmp\taccount.so"),
        QStringLiteral("module_app\tmenu.so"),
        QStringLiteral("module_app\tctrl_tcp.so"),
        QStringLiteral("ctrl_tcp_listen\t127.0.0.1:%1").arg(control),
        QStringLiteral("ringback_disabled\tyes"),
        QStringLiteral("statmode_default\toff"),
        QStringLiteral("menu_bell\tno"),
    };
    if (!bind.isEmpty())
        config.append(QStringLiteral("net_interface\t%1").arg(bind));
    config.append(extraConfig);
    QFile file(m_folder + QStringLiteral("/config"));
    QFile accounts(m_folder + QStringLiteral("/accounts"));
    // The account goes over the control port, so that no file holds the password.
    if (!file.open(QIODevice::WriteOnly) || file.write((config.join(u'\n') + u'\n').toUtf8()) < 0 ||
        !accounts.open(QIODevice::WriteOnly))
        fail(QStringLiteral("The configuration of baresip cannot be written into %1").arg(m_folder));
    m_controlPort = control;
}

void SipLine::start()
{
    stop();
    checkAccount();
    writeFiles();
#ifdef Q_OS_LINUX
    // baresip goes with the monitor even when the monitor is killed and cannot stop it in order.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process.setProgram(m_program);
    m_process.setArguments({QStringLiteral("-f"), m_folder});
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_folder + QStringLiteral("/baresip.log"));
    m_process.start();
    if (!m_process.waitForStarted(m_timing.startMs))
        fail(QStringLiteral("baresip cannot be started: %1").arg(m_process.errorString()));
    if (!m_control.connectTo(m_controlPort, m_timing.startMs) || !isRunning()) {
        const QString tail = logTail();
        stop();
        fail(QStringLiteral("baresip does not answer on its control port (%1)").arg(tail));
    }
    QString params = QStringLiteral("<%1>;audio_codecs=PCMU,PCMA;answermode=manual").arg(m_account.account.trimmed());
    if (!m_account.password.isEmpty())
        params += QStringLiteral(";auth_pass=%1").arg(m_account.password);
    if (m_account.server.trimmed().isEmpty()) {
        params += QStringLiteral(";regint=0");
    } else {
        QString server = m_account.server.trimmed();
        if (!isSipAddress(server))
            server.prepend(QStringLiteral("sip:"));
        params += QStringLiteral(";regint=3600;outbound=\"%1\"").arg(server);
    }
    const BaresipControl::Reply made = m_control.commandAndWait(QStringLiteral("uanew"), params, m_timing.replyMs);
    if (!made.answered || !made.ok) {
        stop();
        fail(QStringLiteral("baresip refuses the account %1").arg(m_account.account));
    }
    m_needsRestart = false;
}

void SipLine::stop()
{
    m_noAnswer.stop();
    m_drained.stop();
    if (isRunning()) {
        m_process.blockSignals(true);
        if (m_control.isConnected())
            m_control.command(QStringLiteral("quit"), {}, m_timing.quitMs, nullptr);
        m_control.blockSignals(true);
        // Open SIP transactions hold up "quit" and the first signal; the second signal ends it at once.
        if (!m_process.waitForFinished(m_timing.quitMs)) {
            m_process.terminate();
            if (!m_process.waitForFinished(m_timing.signalMs)) {
                m_process.terminate();
                if (!m_process.waitForFinished(m_timing.signalMs)) {
                    m_process.kill();
                    m_process.waitForFinished(m_timing.signalMs);
                }
            }
        }
        m_control.disconnectFromPort();
        m_control.blockSignals(false);
        m_process.blockSignals(false);
    }
    m_control.disconnectFromPort();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    m_open = false;
    m_playing = false;
    m_state = CallStates::kIdle;
}

void SipLine::open(const QString& name, bool voice)
{
    Q_UNUSED(voice);
    if (m_account.account.trimmed().isEmpty() || name != lineName(m_account.account.trimmed()))
        throw TapiErrors::make(TapiErrors::kNoSelect, QStringLiteral("There is no line \"%1\"").arg(name));
    if (m_needsRestart || !isRunning() || !m_control.isConnected())
        start();
    m_open = true;
    m_dropping = false;
    m_state = CallStates::kIdle;
}

void SipLine::close()
{
    if (m_state != CallStates::kIdle && m_control.isConnected())
        m_control.command(QStringLiteral("hangup"), {}, m_timing.replyMs, nullptr);
    m_noAnswer.stop();
    m_drained.stop();
    m_open = false;
    m_playing = false;
    m_state = CallStates::kIdle;
}

bool SipLine::isOpen() const
{
    return m_open && m_control.isConnected();
}

void SipLine::setState(quint32 state, quint32 detail)
{
    if (state == m_state && state != CallStates::kDisconnected)
        return;
    m_state = state;
    if (state != CallStates::kDialing && state != CallStates::kRingback)
        m_noAnswer.stop();
    emit callStateChanged(state, detail);
}

void SipLine::toSilence()
{
    m_control.command(QStringLiteral("ausrc"), QStringLiteral("aufile,%1/silence.wav").arg(m_folder), m_timing.replyMs,
                      nullptr);
}

void SipLine::dial(const QByteArray& dialString)
{
    if (!isOpen()) {
        QTimer::singleShot(0, this, [this] { emit replied(kFailed); });
        return;
    }
    m_dropping = false;
    m_callId.clear();
    // The source set now is the one the new call starts with.
    toSilence();
    setState(CallStates::kDialing);
    m_noAnswer.start(m_timing.noAnswerMs);
    m_control.command(QStringLiteral("dial"), QString::fromUtf8(dialString), m_timing.replyMs,
                      [this](const BaresipControl::Reply& reply) { emit replied(reply.ok ? 0 : kFailed); });
}

void SipLine::drop()
{
    m_noAnswer.stop();
    // The sound ends with its notice, or the player waits for it for ever.
    endAudio();
    if (!isOpen()) {
        m_state = CallStates::kIdle;
        answerDropOnClosedLine();
        return;
    }
    m_dropping = true;
    m_control.command(QStringLiteral("hangup"), {}, m_timing.replyMs, [this](const BaresipControl::Reply&) {
        m_dropping = false;
        emit replied(0);
        setState(CallStates::kIdle);
    });
}

void SipLine::sendDigits(const QByteArray& toneList)
{
    QByteArray keys = toneList;
    keys.replace(",", "");
    if (isOpen() && !keys.isEmpty())
        m_control.command(QStringLiteral("sndcode"), QString::fromLatin1(keys), m_timing.replyMs, nullptr);
}

void SipLine::onEvent(const QJsonObject& event)
{
    const QString type = event.value(QStringLiteral("type")).toString();
    const QString param = event.value(QStringLiteral("param")).toString();
    if (event.value(QStringLiteral("class")).toString() == QLatin1String("register")) {
        if (type == QLatin1String("REGISTER_OK"))
            emit paneLine(QStringLiteral("SIP账号 %1 注册成功").arg(m_account.account));
        else if (type == QLatin1String("REGISTER_FAIL"))
            emit paneLine(QStringLiteral("SIP账号 %1 注册失败：%2").arg(m_account.account, param));
        return;
    }
    if (!m_open || event.value(QStringLiteral("class")).toString() != QLatin1String("call"))
        return;
    // One call at a time: the first event with an id names it, events of other calls are not ours.
    const QString id = event.value(QStringLiteral("id")).toString();
    if (m_callId.isEmpty() && !id.isEmpty())
        m_callId = id;
    if (!id.isEmpty() && id != m_callId)
        return;
    if (type == QLatin1String("CALL_RINGING") || type == QLatin1String("CALL_PROGRESS")) {
        if (m_state == CallStates::kDialing)
            setState(CallStates::kRingback);
    } else if (type == QLatin1String("CALL_ESTABLISHED")) {
        if (m_state == CallStates::kDialing || m_state == CallStates::kRingback)
            setState(CallStates::kConnected);
    } else if (type == QLatin1String("CALL_DTMF_START")) {
        if (m_state == CallStates::kConnected && !param.isEmpty())
            emit keyPressed(param.at(0).toUpper().toLatin1());
    } else if (type == QLatin1String("CALL_CLOSED")) {
        onClosed(param);
    }
}

void SipLine::onClosed(const QString& reason)
{
    m_callId.clear();
    endAudio();
    if (m_dropping || m_state == CallStates::kIdle || m_state == CallStates::kDisconnected)
        return;
    if (m_state == CallStates::kConnected) {
        setState(CallStates::kDisconnected, reason.contains(QLatin1String("reset by peer"))
                                                ? DisconnectModes::kNormal
                                                : DisconnectModes::kUnknown);
        return;
    }
    const quint32 mode = modeOf(reason);
    if (mode == DisconnectModes::kBusy)
        setState(CallStates::kBusy);
    setState(CallStates::kDisconnected, mode);
}

void SipLine::onGone(const QString& reason)
{
    if (!m_open)
        return;
    m_control.disconnectFromPort();
    m_open = false;
    m_noAnswer.stop();
    m_state = CallStates::kIdle;
    const QString tail = logTail();
    if (m_playing) {
        m_playing = false;
        m_drained.stop();
        emit audioEnded();
    }
    emit lineClosed(tail.isEmpty() ? reason : QStringLiteral("%1: %2").arg(reason, tail));
}

void SipLine::beginAudio()
{
    if (m_playing || m_state != CallStates::kConnected || !isOpen()) {
        QTimer::singleShot(0, this, [this] { emit audioEnded(); });
        return;
    }
    m_playing = true;
    QTimer::singleShot(0, this, [this] {
        if (m_playing)
            emit audioOpened();
    });
}

void SipLine::writeAudio(const QVector<qint16>& samples)
{
    if (!m_playing)
        return;
    if (samples.isEmpty()) {
        m_drained.start(0);
        return;
    }
    // Two files in turn: baresip has read one into memory by the time the next is written.
    m_chunk ^= 1;
    const QString path = QStringLiteral("%1/sound%2.wav").arg(m_folder).arg(m_chunk);
    PcmSound piece{kRate, 1, std::vector<qint16>(samples.begin(), samples.end())};
    piece.samples.resize(piece.samples.size() + kPadSamples, 0);
    try {
        writeWaveFile(path, piece, 16);
    } catch (const SoundFileError&) {
        endAudioNow();
        emit audioEnded();
        return;
    }
    const int lengthMs = int(qint64(samples.size()) * 1000 / kRate);
    m_control.command(QStringLiteral("ausrc"), QStringLiteral("aufile,%1").arg(path), m_timing.replyMs,
                      [this, lengthMs](const BaresipControl::Reply& reply) {
                          if (!m_playing)
                              return;
                          if (!reply.answered || reply.data.contains(QLatin1String("failed"))) {
                              endAudioNow();
                              emit audioEnded();
                              return;
                          }
                          m_drained.start(lengthMs + kPlayMarginMs);
                      });
}

void SipLine::endAudioNow()
{
    m_playing = false;
    m_drained.stop();
    if (m_control.isConnected())
        toSilence();
}

void SipLine::endAudio()
{
    if (!m_playing)
        return;
    endAudioNow();
    QTimer::singleShot(0, this, [this] { emit audioEnded(); });
}

void SipLine::abortAudio()
{
    endAudio();
}
