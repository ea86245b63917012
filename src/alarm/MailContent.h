#pragma once

#include "alarm/MailMessage.h"
#include "alarm/SubjectCharset.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringEncoder>
#include <QStringList>

// The text of a mail on the wire: header lines, an empty line and the body, in the system code page
// (GBK) with CR LF line ends, ready for the DATA phase.
namespace MailContent {

inline constexpr char kLibrary[] = "Tarnwicker Mailer 2.0";
inline constexpr int kHeaderLineLimit = 78;
// The longest line SMTP carries, CR LF not counted, and the bytes of one base64 line of 76 characters.
inline constexpr int kBodyLineLimit = 998;
inline constexpr int kBase64LineBytes = 57;

// How the body travels: its GBK bytes as they are, which needs a server that advertises 8BITMIME,
// or base64, which every server carries.
enum class Transfer { EightBit, Base64 };

// 8bit when the server takes it and no body line is longer than SMTP allows; base64 otherwise.
Transfer transferFor(const QStringList& body, bool serverTakesEightBit);

// "Sun, 5 Jan 2025 09:03:07 +0800": the local time with the time zone offset it had then.
QByteArray dateText(const QDateTime& local);

// A mailbox as the "From" and "To" lines write it: the bare address, or the display name (quoted,
// or as one phrase of encoded words when it holds a byte outside 0x20..0x7E) and the address in
// "<" ">". The column is where the mailbox starts on its header line, for the encoded words' cut.
QByteArray addressText(const MailAddress& address, const SubjectCharset& charset, qsizetype column = 0);

// Folds one header line longer than 78 characters at a blank, a tab or after a comma; every
// continuation begins with one blank. Returns the pieces joined by CR LF, without a final CR LF.
QByteArray foldHeaderLine(QByteArrayView line);

// Every header line, each ended by CR LF, then the empty line that ends the header. After the
// mail's own headers come the three that tell a reader the body is GBK text and how it travels.
QByteArray headerBlock(const MailMessage& message, const QDateTime& date, const SubjectCharset& charset,
                       Transfer transfer);

// Writes body lines in GBK, each followed by CR LF. A line holding CR or LF itself is written as
// several lines. In 8bit a "." is doubled at the start of a line so that no line ends the DATA phase
// early; in base64 the text is written as lines of 76 characters, which never begin with ".".
class BodyEncoder {
public:
    explicit BodyEncoder(Transfer transfer = Transfer::EightBit);
    void append(QByteArray& out, QStringView line);
    // Writes the last, shorter base64 line; call once after the last body line.
    void finish(QByteArray& out);

private:
    void appendOne(QByteArray& out, QStringView line);
    void appendGbk(QByteArray& out, QStringView text);
    void appendBase64Lines(QByteArray& out, qsizetype bytes);

    QStringEncoder m_gbk;
    Transfer m_transfer;
    QByteArray m_pending; // GBK text not yet written as base64
};

} // namespace MailContent
