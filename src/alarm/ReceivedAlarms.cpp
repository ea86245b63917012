#include "alarm/ReceivedAlarms.h"

#include "alarm/AlarmDispatch.h"
#include "alarm/AlarmKind.h"
#include "monitor/TextSplit.h"
#include "platform/CodePage.h"
#include "platform/HostLookup.h"

ReceivedAlarms::ReceivedAlarms(Host host, AlarmDispatch& dispatch, AlarmBurst burst, QObject* parent)
    : QObject(parent)
    , m_host(std::move(host))
    , m_dispatch(dispatch)
    , m_burst(burst)
{
    m_clock.start();
    m_windowTimer.setSingleShot(true);
    connect(&m_windowTimer, &QTimer::timeout, this, &ReceivedAlarms::endOfWindow);
}

QString ReceivedAlarms::receivedText(const QByteArray& payload)
{
    // GBK takes at most two bytes a character: the bytes beyond cannot reach the shown part.
    QString text = CodePage::fromGbk(payload.left(2 * kMaxShown));
    if (text.size() > kMaxShown)
        text = text.left(text.at(kMaxShown - 1).isHighSurrogate() ? kMaxShown - 1 : kMaxShown);
    return text;
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

QString ReceivedAlarms::addressText(const QString& text)
{
    return TextSplit::leftPart(TextSplit::trimmed(text), u'=');
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
    if (isListedReceiver(sender, m_host.receivers()))
        return;
    const QString text = receivedText(payload);
    m_host.appendDirect(m_host.timeStampPrefix() + oneLine(text));
    m_dispatch.setCurrentCode(Remote);
    const AlarmBurst::Admission admission = m_burst.admit(m_clock.elapsed());
    if (admission.deferredNow)
        m_windowTimer.start(int(m_burst.windowMs()));
    if (admission.immediateChannels)
        m_dispatch.DispatchAlarm(oneLine(addressText(text)));
    if (admission.deferredNow)
        m_dispatch.DispatchDeferredAlarms();
}

void ReceivedAlarms::endOfWindow()
{
    if (!m_burst.closeWindow(m_clock.elapsed()))
        return;
    m_windowTimer.start(int(m_burst.windowMs()));
    // The alarms that came after the first of the burst: one mail and one call sequence for all.
    m_dispatch.setCurrentCode(Remote);
    m_dispatch.DispatchDeferredAlarms();
}
