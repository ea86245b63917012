#include "alarm/MailContent.h"

#include "alarm/EncodedWords.h"
#include "platform/CodePage.h"

#include <cstdio>

namespace MailContent {
namespace {

// Header values are single lines: a line break that slipped into a value must not start a header
// line of its own.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool isPrintableAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            return false;
    }
    return true;
}

QByteArray addressListText(const QList<MailAddress>& addresses, const SubjectCharset& charset)
{
    QByteArray text;
    for (const MailAddress& address : addresses) {
        if (!text.isEmpty())
            text += ", ";
        text += addressText(address, charset);
    }
    return text;
}

bool isFoldBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Where a line may be broken: before a blank or tab, or right after a comma. Returns the break
// position nearest to the limit from below, or failing that the first one beyond it; -1 for none.
qsizetype foldPosition(QByteArrayView line, qsizetype minimum)
{
    qsizetype below = -1;
    for (qsizetype p = minimum; p < line.size(); ++p) {
        const bool breakable = isFoldBlank(line[p]) || line[p - 1] == ',';
        if (!breakable)
            continue;
        if (p <= kHeaderLineLimit)
            below = p;
        else
            return below >= 0 ? below : p;
    }
    return below;
}

QByteArray withoutTrailingBlanks(QByteArrayView piece)
{
    qsizetype end = piece.size();
    while (end > 0 && isFoldBlank(piece[end - 1]))
        --end;
    return piece.first(end).toByteArray();
}

QByteArray physicalLineFolded(QByteArrayView line, qsizetype minimum)
{
    QByteArray out;
    QByteArray rest = line.toByteArray();
    while (rest.size() > kHeaderLineLimit) {
        const qsizetype p = foldPosition(rest, minimum);
        if (p < 0)
            break;
        qsizetype next = p;
        while (next < rest.size() && isFoldBlank(rest[next]))
            ++next;
        const QByteArray piece = withoutTrailingBlanks(QByteArrayView(rest).first(p));
        if (next == rest.size()) {
            rest = piece;
            break;
        }
        out += piece + "\r\n";
        rest = ' ' + rest.mid(next);
        minimum = 2; // a continuation keeps at least one character after its blank
    }
    return out + rest;
}

} // namespace

QByteArray dateText(const QDateTime& given)
{
    const QDateTime local = given.isValid() ? given : QDateTime::currentDateTime();
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = local.date();
    const QTime time = local.time();
    const int offsetMinutes = local.offsetFromUtc() / 60;
    const int absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[date.dayOfWeek() - 1],
                  date.day(), kMonths[date.month() - 1], date.year(), time.hour(), time.minute(), time.second(),
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return QByteArray(text);
}

QByteArray addressText(const MailAddress& address, const SubjectCharset& charset)
{
    const QByteArray mailbox = CodePage::toGbk(oneLine(address.address));
    if (address.name.isEmpty())
        return mailbox;
    const QByteArray name = SubjectCharsets::bytesOf(charset, oneLine(address.name));
    if (!isPrintableAscii(name))
        return EncodedWords::encode(name, charset) + " <" + mailbox + '>';
    QByteArray quoted = name;
    quoted.replace("\\", "\\\\").replace("\"", "\\\"");
    return '"' + quoted + "\" <" + mailbox + '>';
}

QByteArray foldHeaderLine(QByteArrayView line)
{
    // Encoded words already come in several physical lines; each is folded on its own, and the
    // header's own first blank (after "Name:") is never a fold.
    QByteArray out;
    qsizetype start = 0;
    bool first = true;
    while (start <= line.size()) {
        qsizetype end = line.indexOf(QByteArrayView("\r\n"), start);
        if (end < 0)
            end = line.size();
        const QByteArrayView physical = line.sliced(start, end - start);
        qsizetype minimum = 2;
        if (first) {
            const qsizetype colon = physical.indexOf(QByteArrayView(": "));
            minimum = colon < 0 ? 2 : colon + 3;
        }
        if (!first)
            out += "\r\n";
        out += physicalLineFolded(physical, minimum);
        first = false;
        start = end + 2;
    }
    return out;
}

QByteArray headerBlock(const MailMessage& message, const QDateTime& date, const SubjectCharset& charset)
{
    QByteArray block;
    const auto header = [&block](const char* name, const QByteArray& value) {
        if (!value.isEmpty())
            block += foldHeaderLine(QByteArray(name) + ": " + value) + "\r\n";
    };
    header("From", addressText(message.from, charset));
    header("Subject", EncodedWords::encode(SubjectCharsets::bytesOf(charset, oneLine(message.subject)), charset));
    header("To", addressListText(message.to, charset));
    header("Cc", addressListText(message.cc, charset));
    header("Sender", CodePage::toGbk(oneLine(message.sender)));
    header("Date", dateText(date));
    header("X-Priority", QByteArray::number(message.priority));
    header("X-Library", kLibrary);
    return block + "\r\n";
}

BodyEncoder::BodyEncoder()
    : m_gbk("GBK", QStringConverter::Flag::Stateless)
{}

void BodyEncoder::append(QByteArray& out, QStringView line)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        appendOne(out, line.sliced(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < line.size() && line[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    appendOne(out, line.sliced(start));
}

void BodyEncoder::appendOne(QByteArray& out, QStringView line)
{
    const qsizetype old = out.size();
    const bool stuff = !line.isEmpty() && line.front() == QLatin1Char('.');
    out.resize(old + (stuff ? 1 : 0) + m_gbk.requiredSpace(line.size()) + 2);
    char* at = out.data() + old;
    if (stuff)
        *at++ = '.';
    at = m_gbk.appendToBuffer(at, line);
    *at++ = '\r';
    *at++ = '\n';
    out.resize(at - out.constData());
}

} // namespace MailContent
