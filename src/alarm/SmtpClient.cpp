#include "alarm/SmtpClient.h"

#include "alarm/MailContent.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"

#include <QSysInfo>

namespace {

// The client writes the mail in pieces of about this size, so that a long information pane is
// never held twice in memory.
constexpr qsizetype kWriteChunk = 64 * 1024;

// An address goes into a command line of its own: a line break or other control character in it
// would let the recipient field write commands to the server.
void checkAddress(const QString& address)
{
    for (QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            throw AppError(QStringLiteral("Invalid mail address: %1").arg(address.simplified()));
    }
}

} // namespace

SmtpClient::SmtpClient()
    : m_charset(SubjectCharsets::codePage936())
{}

SmtpClient::~SmtpClient()
{
    disconnect();
}

QByteArray SmtpClient::greetingName() const
{
    QString name = m_greetingName.isEmpty() ? QSysInfo::machineHostName() : m_greetingName;
    if (name.isEmpty())
        name = QStringLiteral("localhost");
    return name.toUtf8();
}

void SmtpClient::connect()
{
    disconnect();
    m_inbound.clear();
    m_scanned = 0;
    const auto now = TcpConnection::Clock::now();
    m_connection.setOverallLimit(
        now + m_mailLimit,
        QStringLiteral("The mail was not sent within %1").arg(TcpConnection::secondsText(m_mailLimit)));
    m_connection.setStopHandle(m_stopHandle, kAbandonedText);
    try {
        m_connection.open(m_host, m_port, now + m_timeLimit);
        expect(readReply(), {220});
        m_mechanisms.clear();
        m_eightBitMime = false;
        introduce();
    } catch (const AppError&) {
        disconnect();
        throw;
    }
}

void SmtpClient::introduce()
{
    const SmtpReply ehlo = command("EHLO " + greetingName(), {});
    if (ehlo.number() == 250) {
        SmtpMechanisms::collect(ehlo.textLines, m_mechanisms);
        m_eightBitMime = SmtpExtensions::advertises(ehlo.textLines, "8BITMIME");
        return;
    }
    command("HELO " + greetingName(), {250});
}

void SmtpClient::send(const MailMessage& message)
{
    if (!isConnected())
        throw AppError(QStringLiteral("Not connected"));
    QList<QString> recipients;
    for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
        for (const MailAddress& address : *list)
            recipients.append(address.address);
    }
    checkAddress(message.from.address);
    for (const QString& recipient : recipients)
        checkAddress(recipient);
    // A mail without recipients would only be refused after its sender was given; say why at once.
    if (recipients.isEmpty())
        throw AppError(QStringLiteral("No recipient address"));

    command("RSET", {});
    if (m_authentication == Authentication::Login && loginAvailable() && !m_authenticated)
        authenticate();
    const MailContent::Transfer transfer = MailContent::transferFor(message.body, m_eightBitMime);
    const QByteArray body = transfer == MailContent::Transfer::EightBit ? " BODY=8BITMIME" : "";
    command("MAIL FROM:<" + CodePage::toGbk(message.from.address) + '>' + body, {250});
    for (const QString& recipient : recipients)
        command("RCPT TO:<" + CodePage::toGbk(recipient) + '>', {250, 251});
    command("DATA", {354});
    writeContent(message, transfer);
    command(".", {250});
}

void SmtpClient::authenticate()
{
    command("AUTH LOGIN", {334});
    command(CodePage::toGbk(m_userName).toBase64(), {334});
    command(CodePage::toGbk(m_password).toBase64(), {235});
    m_authenticated = true;
}

void SmtpClient::writeContent(const MailMessage& message, MailContent::Transfer transfer)
{
    const QDateTime date = message.date.value_or(QDateTime::currentDateTime());
    QByteArray chunk = MailContent::headerBlock(message, date, m_charset, transfer);
    chunk.reserve(kWriteChunk + 4096);
    MailContent::BodyEncoder body(transfer);
    for (const QString& line : message.body) {
        body.append(chunk, line);
        if (chunk.size() >= kWriteChunk) {
            m_connection.writeAll(chunk, m_timeLimit);
            chunk.resize(0);
        }
    }
    body.finish(chunk);
    m_connection.writeAll(chunk, m_timeLimit);
}

void SmtpClient::disconnect() noexcept
{
    if (m_connection.isOpen())
        m_connection.writeWithoutWaiting("QUIT\r\n");
    m_connection.close();
    m_authenticated = false;
}

SmtpReply SmtpClient::command(const QByteArray& line, Codes accepted)
{
    m_connection.writeAll(line + "\r\n", m_timeLimit);
    const SmtpReply reply = readReply();
    expect(reply, accepted);
    return reply;
}

void SmtpClient::expect(const SmtpReply& reply, Codes accepted) const
{
    if (accepted.size() == 0)
        return;
    for (int code : accepted) {
        if (reply.number() == code)
            return;
    }
    throw AppError(reply.failureText());
}

SmtpReply SmtpClient::readReply()
{
    const auto deadline = TcpConnection::Clock::now() + m_timeLimit;
    SmtpReplyParser parser;
    for (;;) {
        if (parser.lineCount() >= SmtpReplyParser::kMaxLines)
            throw AppError(
                QStringLiteral("Reply of the SMTP server longer than %1 lines").arg(SmtpReplyParser::kMaxLines));
        if (parser.addLine(readLine(deadline)))
            return parser.reply();
    }
}

QByteArray SmtpClient::readLine(TcpConnection::Clock::time_point deadline)
{
    for (;;) {
        const qsizetype lf = m_inbound.indexOf('\n', m_scanned);
        if (lf >= 0) {
            QByteArray line = m_inbound.left(lf);
            m_inbound.remove(0, lf + 1);
            m_scanned = 0;
            if (line.endsWith('\r'))
                line.chop(1);
            if (line.size() > SmtpReplyParser::kLineLimit)
                break;
            return line;
        }
        m_scanned = m_inbound.size();
        // One more byte than the limit may be the CR of a line that is just long enough.
        if (m_inbound.size() > SmtpReplyParser::kLineLimit + 1)
            break;
        switch (m_connection.readSome(m_inbound, deadline)) {
        case TcpConnection::ReadStatus::Data:
            break;
        case TcpConnection::ReadStatus::Closed:
            throw AppError(QStringLiteral("The SMTP server closed the connection"));
        case TcpConnection::ReadStatus::TimedOut:
            throw AppError(
                QStringLiteral("No reply from the SMTP server within %1").arg(TcpConnection::secondsText(m_timeLimit)));
        }
    }
    throw AppError(
        QStringLiteral("Reply line of the SMTP server longer than %1 characters").arg(SmtpReplyParser::kLineLimit));
}
