#include "alarm/SmtpReply.h"

#include "platform/CodePage.h"

namespace {

QByteArray trimmedLine(QByteArrayView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && static_cast<unsigned char>(line[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(line[end - 1]) <= 32)
        --end;
    return line.sliced(begin, end - begin).toByteArray();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whatever a broken server sent, shown so that the operator can read it: GBK text as such, other
// bytes as "\xNN".
QString readable(QByteArrayView bytes)
{
    if (CodePage::isValidGbk(bytes))
        return CodePage::fromGbk(bytes);
    QString text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return text;
}

} // namespace

int SmtpReply::number() const
{
    if (code.size() != 3 || !isDigit(code[0]) || !isDigit(code[1]) || !isDigit(code[2]))
        return -1;
    return code.toInt();
}

QString SmtpReply::failureText() const
{
    if (number() < 0) {
        return QStringLiteral("Invalid reply from the SMTP server: ") +
               readable(QByteArrayView(firstLine).first(qMin<qsizetype>(firstLine.size(), 200))) +
               QStringLiteral("\r\n");
    }
    QString text;
    for (const QByteArray& line : textLines)
        text += CodePage::fromGbk(line) + QStringLiteral("\r\n");
    if (text.trimmed().isEmpty())
        text = QString::fromLatin1(code) + QStringLiteral("\r\n");
    return text;
}

bool SmtpReplyParser::addLine(QByteArrayView rawLine)
{
    const QByteArray line = trimmedLine(rawLine);
    if (line.isEmpty())
        return false;
    m_reply.textLines.append(line.mid(4));
    if (m_reply.textLines.size() == 1) {
        m_reply.code = line.left(3);
        m_reply.firstLine = line;
        // A first line without a code is no reply; waiting for its "continuation" would only wait
        // for the time limit (a server of another protocol says "SSH-2.0-..." and nothing more).
        return line.size() < 4 || line[3] != '-' || m_reply.number() < 0;
    }
    if (line.size() < 4)
        return true;
    const QByteArray last = m_reply.code + ' ';
    return line.left(4).compare(last, Qt::CaseInsensitive) == 0;
}

namespace SmtpMechanisms {

void collect(const QList<QByteArray>& ehloTextLines, QStringList& mechanisms)
{
    for (const QByteArray& textLine : ehloTextLines) {
        const QString line = QString::fromLatin1(textLine).toUpper();
        if (!line.startsWith(QLatin1String("AUTH ")) && !line.startsWith(QLatin1String("AUTH=")))
            continue;
        QString rest = line.mid(4); // from the blank or "=" on: the empty part it gives is collected too
        while (!rest.isEmpty()) {
            rest.replace(QLatin1Char('='), QLatin1Char(' '));
            const qsizetype blank = rest.indexOf(QLatin1Char(' '));
            const QString part = blank < 0 ? rest : rest.left(blank);
            rest = blank < 0 ? QString() : rest.mid(blank + 1);
            if (!mechanisms.contains(part))
                mechanisms.append(part);
        }
    }
}

} // namespace SmtpMechanisms

namespace SmtpExtensions {

bool advertises(const QList<QByteArray>& ehloTextLines, QByteArrayView keyword)
{
    for (qsizetype i = 1; i < ehloTextLines.size(); ++i) {
        const QByteArray& line = ehloTextLines[i];
        const qsizetype blank = line.indexOf(' ');
        if (QByteArrayView(line).first(blank < 0 ? line.size() : blank).compare(keyword, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace SmtpExtensions
