#pragma once

#include "alarm/MailMessage.h"
#include "alarm/SubjectCharset.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringEncoder>

// The text of a mail on the wire: header lines, an empty line and the body, in the system code page
// (GBK) with CR LF line ends, ready for the DATA phase.
namespace MailContent {

inline constexpr char kLibrary[] = "Tarnwicker Mailer 2.0";
inline constexpr int kHeaderLineLimit = 78;

// "Sun, 5 Jan 2025 09:03:07 +0800": the local time with the time zone offset it had then.
QByteArray dateText(const QDateTime& local);

// A mailbox as the "From" and "To" lines write it: the bare address, or the display name (quoted,
// or as encoded words when it holds a byte outside 0x20..0x7E) and the address in "<" ">".
QByteArray addressText(const MailAddress& address, const SubjectCharset& charset);

// Folds one header line longer than 78 characters at a blank, a tab or after a comma; every
// continuation begins with one blank. Returns the pieces joined by CR LF, without a final CR LF.
QByteArray foldHeaderLine(QByteArrayView line);

// Every header line, each ended by CR LF, then the empty line that ends the header.
QByteArray headerBlock(const MailMessage& message, const QDateTime& date, const SubjectCharset& charset);

// Writes body lines in GBK, each followed by CR LF, with a "." doubled at the start of a line so
// that no line ends the DATA phase early. A line holding CR or LF itself is written as several lines,
// each of them dot-stuffed, for the same reason.
class BodyEncoder {
public:
    BodyEncoder();
    void append(QByteArray& out, QStringView line);

private:
    void appendOne(QByteArray& out, QStringView line);
    QStringEncoder m_gbk;
};

} // namespace MailContent
