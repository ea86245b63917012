#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One reply of an SMTP server: the three characters of its code and the text of each of its lines.
struct SmtpReply {
    QByteArray code;
    QList<QByteArray> textLines;
    QByteArray firstLine; // as received, trimmed: what an invalid reply is shown as

    // The code as a number; -1 when the reply did not begin with three digits.
    int number() const;

    // What a refused command reports: the text lines, each followed by CR LF, in the system code
    // page. A reply that is no SMTP reply at all names itself as such, so that the operator sees a
    // reason instead of an empty text.
    QString failureText() const;
};

// Gathers the lines of one reply. Lines arrive as read, without their LF; the parser trims them of
// blanks and control characters, skips empty ones and tells when the reply is complete.
class SmtpReplyParser {
public:
    // Longest reply line that is accepted, and the most lines one reply may have.
    static constexpr qsizetype kLineLimit = 16384;
    static constexpr int kMaxLines = 1000;

    // True when this line completed the reply.
    bool addLine(QByteArrayView rawLine);

    int lineCount() const { return int(m_reply.textLines.size()); }
    const SmtpReply& reply() const { return m_reply; }

private:
    SmtpReply m_reply;
};

namespace SmtpMechanisms {

// The mechanisms that the text lines of an EHLO reply advertise after "AUTH " or "AUTH=", in upper
// case and each once, added to the list.
void collect(const QList<QByteArray>& ehloTextLines, QStringList& mechanisms);

} // namespace SmtpMechanisms

namespace SmtpExtensions {

// True when one of the service lines of an EHLO reply (every line after the server's greeting)
// names the extension keyword, compared without regard to case.
bool advertises(const QList<QByteArray>& ehloTextLines, QByteArrayView keyword);

} // namespace SmtpExtensions
