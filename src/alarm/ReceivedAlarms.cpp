#include "alarm/ReceivedAlarms.h"

#include "alarm/AlarmDispatch.h"
#include "platform/CodePage.h"
#include "platform/HostLookup.h"
#include "shared/AlarmKind.h"
#include "shared/TextSplit.h"

namespace {

QByteArray trimmedBytes(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 32)
        --end;
    return bytes.mid(begin, end - begin);
}

} // namespace

ReceivedAlarms::ReceivedAlarms(Host host, AlarmDispatch& dispatch, AlarmBurst burst, RepeatedAlarms repeats,
                               int reportMs, QObject* parent)
    : QObject(parent)
    , m_host(std::move(host))
    , m_dispatch(dispatch)
    , m_burst(burst)
    , m_repeats(repeats)
{
    m_clock.start();
    m_windowTimer.setSingleShot(true);
    connect(&m_windowTimer, &QTimer::timeout, this, &ReceivedAlarms::endOfWindow);
    m_reportTimer.setSingleShot(true);
    m_reportTimer.setInterval(reportMs);
    connect(&m_reportTimer, &QTimer::timeout, this, &ReceivedAlarms::reportRepeats);
    m_dispatch.onCancel = [this] { cancelled(); };
}

void ReceivedAlarms::setTimes(qint64 burstWindowMs, int reportMs)
{
    m_burst = AlarmBurst(burstWindowMs);
    m_windowTimer.stop();
    m_reportTimer.setInterval(reportMs);
}

QString ReceivedAlarms::oneLine(QString text)
{
    // Line breaks and other control characters would split the line or reach the log file and
    // standard output as they came.
    for (QChar& c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QByteArray ReceivedAlarms::addressBytes(const QByteArray& payload)
{
    // "=" is never the second byte of a GBK character, so the bytes can be cut at it as they are.
    const QByteArray text = trimmedBytes(payload);
    const qsizetype at = text.indexOf('=');
    return at < 0 ? text : trimmedBytes(text.left(at));
}

bool ReceivedAlarms::isListedReceiver(quint32 sender, const QStringList& receivers)
{
    const QString address = HostLookup::dotted(sender);
    for (const QString& line : receivers)
        if (TextSplit::trimmed(line).toLower() == address)
            return true;
    return false;
}

void ReceivedAlarms::UdpSrvUDPRead(const QByteArray& payload, quint32 sender)
{
    if (isListedReceiver(sender, m_host.receivers())) {
        m_dispatch.tallyReceived(false);
        return;
    }
    m_host.appendDirect(m_host.timeStampPrefix() + oneLine(CodePage::fromGbk(payload)));
    const qint64 now = m_clock.elapsed();
    if (m_repeats.isRepeat(sender, payload, now)) {
        ++m_repeated;
        if (!m_reportTimer.isActive())
            m_reportTimer.start();
        m_dispatch.tallyReceived(false);
        return;
    }
    m_dispatch.tallyReceived(true);
    m_dispatch.setCurrentCode(Remote);
    const bool deferredNow = m_burst.admit(now);
    if (deferredNow)
        m_windowTimer.start(int(m_burst.windowMs()));
    const QByteArray address = addressBytes(payload);
    m_dispatch.DispatchAlarm(oneLine(CodePage::fromGbk(address)), address);
    if (deferredNow)
        m_dispatch.DispatchDeferredAlarms(AlarmDispatch::Failures::Line);
}

void ReceivedAlarms::endOfWindow()
{
    if (!m_burst.closeWindow(m_clock.elapsed()))
        return;
    m_windowTimer.start(int(m_burst.windowMs()));
    // The alarms that came after the first of the burst: one mail and one call sequence for all.
    m_dispatch.setCurrentCode(Remote);
    m_dispatch.DispatchDeferredAlarms(AlarmDispatch::Failures::Line);
}

void ReceivedAlarms::cancelled()
{
    // The operator has dealt with what came so far: only a later datagram raises the alarm again.
    m_burst.cancel();
    m_windowTimer.stop();
    m_repeats.clear();
}

void ReceivedAlarms::reportRepeats()
{
    m_host.appendDirect(
        m_host.timeStampPrefix() +
        QStringLiteral("%1条报警未转发：与同一来源数秒内的报警相同。").arg(std::exchange(m_repeated, 0)));
}
