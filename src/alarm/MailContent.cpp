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

QByteArray addressListText(const QList<MailAddress>& addresses, const SubjectCharset& charset, qsizetype column)
{
    QByteArray text;
    for (const MailAddress& address : addresses) {
        if (!text.isEmpty())
            text += ", ";
        const qsizetype lineStart = text.lastIndexOf('\n') + 1;
        text += addressText(address, charset, lineStart > 0 ? text.size() - lineStart : column + text.size());
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

QByteArray addressText(const MailAddress& address, const SubjectCharset& charset, qsizetype column)
{
    const QByteArray mailbox = CodePage::toGbk(oneLine(address.address));
    if (address.name.isEmpty())
        return mailbox;
    const QByteArray name = SubjectCharsets::bytesOf(charset, oneLine(address.name));
    if (!isPrintableAscii(name))
        return EncodedWords::encodePhrase(name, charset, column) + " <" + mailbox + '>';
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

Transfer transferFor(const QStringList& body, bool serverTakesEightBit)
{
    if (!serverTakesEightBit)
        return Transfer::Base64;
    for (const QString& line : body) {
        // GBK needs at most two bytes for a character: only long lines are worth converting.
        if (line.size() * 2 > kBodyLineLimit && CodePage::toGbk(line).size() > kBodyLineLimit)
            return Transfer::Base64;
    }
    return Transfer::EightBit;
}

QByteArray headerBlock(const MailMessage& message, const QDateTime& date, const SubjectCharset& charset,
                       Transfer transfer)
{
    QByteArray block;
    const auto header = [&block](const char* name, const QByteArray& value) {
        if (!value.isEmpty())
            block += foldHeaderLine(QByteArray(name) + ": " + value) + "\r\n";
    };
    // Encoded words are cut to the room that "Name: " leaves on the first line.
    const auto after = [](const char* name) { return qsizetype(qstrlen(name) + 2); };
    header("From", addressText(message.from, charset, after("From")));
    header("Subject", EncodedWords::encode(SubjectCharsets::bytesOf(charset, oneLine(message.subject)), charset,
                                           after("Subject")));
    header("To", addressListText(message.to, charset, after("To")));
    header("Cc", addressListText(message.cc, charset, after("Cc")));
    header("Sender", CodePage::toGbk(oneLine(message.sender)));
    header("Date", dateText(date));
    header("X-Priority", QByteArray::number(message.priority));
    header("X-Library", kLibrary);
    header("MIME-Version", "1.0");
    header("Content-Type", "text/plain; charset=GBK");
    header("Content-Transfer-Encoding", transfer == Transfer::EightBit ? "8bit" : "base64");
    return block + "\r\n";
}

BodyEncoder::BodyEncoder(Transfer transfer)
    : m_gbk("GBK", QStringConverter::Flag::Stateless)
    , m_transfer(transfer)
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
    if (m_transfer == Transfer::Base64) {
        appendGbk(m_pending, line);
        appendBase64Lines(out, m_pending.size() / kBase64LineBytes * kBase64LineBytes);
        return;
    }
    if (!line.isEmpty() && line.front() == QLatin1Char('.'))
        out += '.';
    appendGbk(out, line);
}

void BodyEncoder::appendGbk(QByteArray& out, QStringView text)
{
    const qsizetype old = out.size();
    out.resize(old + m_gbk.requiredSpace(text.size()) + 2);
    char* at = m_gbk.appendToBuffer(out.data() + old, text);
    *at++ = '\r';
    *at++ = '\n';
    out.resize(at - out.constData());
}

void BodyEncoder::appendBase64Lines(QByteArray& out, qsizetype bytes)
{
    for (qsizetype at = 0; at < bytes; at += kBase64LineBytes)
        out += m_pending.mid(at, qMin<qsizetype>(kBase64LineBytes, bytes - at)).toBase64() + "\r\n";
    m_pending.remove(0, bytes);
}

void BodyEncoder::finish(QByteArray& out)
{
    appendBase64Lines(out, m_pending.size());
}

} // namespace MailContent
