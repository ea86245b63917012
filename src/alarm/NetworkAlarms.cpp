#include "alarm/NetworkAlarms.h"

#include "alarm/GbkText.h"
#include "alarm/MessengerSender.h"
#include "alarm/UdpSrv.h"
#include "platform/CodePage.h"
#include "platform/HostLookup.h"
#include "platform/SocketError.h"
#include "shared/AlarmKind.h"

namespace {

quint32 resolveReceiver(const QString& receiver)
{
    if (const auto address = HostLookup::parseDotted(receiver))
        return *address;
    // An empty line is a receiver whose sends fail; the lookup would take it for this machine.
    if (receiver.isEmpty())
        throw SocketError(0, QStringLiteral("接收主机地址为空"));
    return HostLookup::resolveIPv4(receiver);
}

} // namespace

NetworkAlarms::NetworkAlarms(Host host, UdpSrv& udp, MessengerSender& messenger)
    : m_host(std::move(host))
    , m_udp(udp)
    , m_messenger(messenger)
    , m_relays([this](const QString& texts, int count) { sendHeldRelays(texts, count); })
{}

QString NetworkAlarms::kindWords(int kind)
{
    switch (kind) {
    case Break:
        return QStringLiteral("断网");
    case Bad:
        return QStringLiteral("网络质量太差");
    case Slow:
        return QStringLiteral("网络响应太慢");
    case Remote:
        return QStringLiteral("的网络");
    default:
        return QString();
    }
}

QByteArray NetworkAlarms::alarmText(int kind, const QByteArray& address, const Settings& settings)
{
    QString rest;
    if (settings.kindWords)
        rest += kindWords(kind);
    rest += QStringLiteral("报警。");
    if (settings.extraText)
        rest += settings.extra;
    const QByteArray tail = CodePage::toGbk(rest);
    return GbkText::cut(address, qMax<qsizetype>(0, UdpSrv::kMaxDatagram - tail.size())) + tail;
}

void NetworkAlarms::SendNetworkAlarm(int kind, const QByteArray& address)
{
    const Settings settings = m_host.settings();
    const QByteArray text = alarmText(kind, address, settings);
    const QString messengerText = CodePage::fromGbk(text);
    // A received alarm relayed: its Messenger messages may wait for the minute's end.
    const bool messengerNow = settings.useMessenger && (kind != Remote || m_relays.take(messengerText));
    for (const QString& receiver : m_host.receivers()) {
        if (messengerNow) {
            const bool ok = SendMessengerText(receiver, messengerText) == 0;
            tally(AlarmChannel::Messenger, ok);
            if (ok)
                m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("已通过信使服务向") + receiver +
                               QStringLiteral("发送报警信息！"));
        }
        if (settings.useUdp) {
            const bool ok = SendUdpText(receiver, m_udp.defaultPort(), text).isEmpty();
            tally(AlarmChannel::Udp, ok);
            if (ok)
                m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("已通过UDP方式向") + receiver +
                               QStringLiteral("发送报警信息！"));
        }
    }
}

void NetworkAlarms::sendHeldRelays(const QString& texts, int count)
{
    if (!m_host.settings().useMessenger) {
        m_host.addInfo(m_host.timeStampPrefix() +
                       QStringLiteral("%1条报警未通过信使服务转发：信使服务发送已关闭。").arg(count));
        return;
    }
    m_host.addInfo(m_host.timeStampPrefix() +
                   QStringLiteral("%1条报警未逐条通过信使服务转发，合为一条信使消息发出。").arg(count));
    const QString text = QStringLiteral("另有%1条报警：").arg(count) + texts;
    for (const QString& receiver : m_host.receivers()) {
        const bool ok = SendMessengerText(receiver, text) == 0;
        tally(AlarmChannel::Messenger, ok);
        if (ok)
            m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("已通过信使服务向") + receiver +
                           QStringLiteral("发送报警信息！"));
    }
}

void NetworkAlarms::tally(AlarmChannel channel, bool ok)
{
    if (m_host.sent)
        m_host.sent(channel, ok);
}

QString NetworkAlarms::SendUdpText(const QString& receiver, int port, const QByteArray& payload)
{
    QString error;
    try {
        m_udp.open();
        const quint32 address = resolveReceiver(receiver);
        const std::size_t sent = m_udp.send(payload, address, quint16(port));
        if (sent != std::size_t(payload.size()))
            throw SocketError(0, QStringLiteral("只发送了%1个字节，共%2个字节").arg(sent).arg(payload.size()));
    } catch (const AppError& e) {
        error = QStringLiteral("UDP发送失败！") + e.text();
        m_host.addInfo(m_host.timeStampPrefix() + error);
    }
    return error;
}

int NetworkAlarms::SendMessengerText(const QString& receiver, const QString& text)
{
    // The service takes receiver names and texts up to its limits; longer ones (a relayed text can
    // be) go out cut rather than not at all.
    const int status = m_messenger.send(MessengerSender::cut(receiver, MessengerSender::kMaxReceiver),
                                        MessengerSender::cut(text, MessengerSender::kMaxText));
    if (status != 0)
        m_host.addInfo(m_host.timeStampPrefix() + QString::number(status) +
                       QStringLiteral("信使服务发送失败！请确定是否已打开信使服务！"));
    return status;
}

void NetworkAlarms::BitBtn3Click()
{
    for (const QString& receiver : m_host.receivers()) {
        if (SendMessengerText(receiver, kTestText) == 0)
            m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("信使服务测试发送成功！"));
        if (SendUdpText(receiver, m_udp.defaultPort(), CodePage::toGbk(kTestText)).isEmpty())
            m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("UDP测试发送成功！"));
    }
}
