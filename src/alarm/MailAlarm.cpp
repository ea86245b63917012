#include "alarm/MailAlarm.h"

#include "alarm/MailAddress.h"
#include "alarm/PasswordScrambler.h"
#include "platform/AppError.h"
#include "shared/TextSplit.h"
#include "shared/TimeStamp.h"

#include <exception>

namespace {

// Restores the cursor however the send ends.
class WaitCursor {
public:
    WaitCursor(const std::function<void()>& begin, const std::function<void()>& end)
        : m_end(end)
    {
        if (begin)
            begin();
    }
    ~WaitCursor()
    {
        if (m_end)
            m_end();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    const std::function<void()>& m_end;
};

// The system's long time format names the time zone; the closing line shows the clock time only,
// with seconds, as the long time of the operator's desktop does.
QString longTimeWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result.append(c);
    }
    return result.trimmed();
}

} // namespace

MailAlarm::MailAlarm(Host host)
    : m_host(std::move(host))
{}

QString MailAlarm::closingLine(const QDateTime& now, const QLocale& locale)
{
    return QString(18, QLatin1Char(' ')) + QStringLiteral("Tarnwicker ") +
           locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), longTimeWithoutZone(locale));
}

QString MailAlarm::userNameOf(const QString& sender)
{
    QString name = sender;
    for (QChar& c : name) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return name;
}

int MailAlarm::portOf(const QString& portText)
{
    return TextSplit::toInt(portText).value_or(25);
}

MailMessage MailAlarm::composeMessage(const MailSettings& settings, const QString& subject, QStringList paneLines,
                                      const QDateTime& now, const QLocale& locale)
{
    MailMessage message;
    message.from.address = settings.sender.trimmed();
    message.sender = message.from.address;
    message.to = MailAddressList::parse(settings.recipients);
    message.subject = subject;
    message.body = std::move(paneLines);
    message.body.append(closingLine(now, locale));
    message.date = now;
    return message;
}

void MailAlarm::fillClient(SmtpClient& client, const MailSettings& settings) const
{
    client.setHost(settings.server.trimmed());
    client.setPort(portOf(settings.portText));
    client.setUserName(userNameOf(settings.sender.trimmed()));
    client.setPassword(PasswordScrambler::unscramble(settings.scrambledPassword));
    client.setAuthentication(settings.authenticate ? SmtpClient::Authentication::Login
                                                   : SmtpClient::Authentication::None);
    client.setTimeLimit(m_timeLimit);
    client.setStopHandle(m_stopHandle);
    client.setGreetingName(m_greetingName);
}

QString MailAlarm::asOneLine(QString failure)
{
    // A refusal of several lines still makes one line of the pane, and so one line of the log.
    failure.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    failure.replace(QLatin1Char('\r'), QLatin1Char(' '));
    failure.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return failure.trimmed();
}

bool MailAlarm::SendAlarmMail(const QString& subject)
{
    WaitCursor cursor(m_host.beginWaitCursor, m_host.endWaitCursor);
    QString failure;
    bool sent = false;
    {
        SmtpClient client;
        try {
            const MailSettings settings = m_host.settings();
            const MailMessage message = composeMessage(settings, subject, m_host.infoLines(), m_host.now(), m_locale);
            fillClient(client, settings);
            client.connect();
            client.send(message);
            sent = true;
        } catch (const AppError& error) {
            failure = error.text();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        client.disconnect();
    }
    const QString stamp = TimeStamp::prefix(m_host.now());
    m_host.appendInfoLine(sent ? stamp + kSuccessText : stamp + kFailureText + asOneLine(failure));
    return sent;
}
