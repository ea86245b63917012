#pragma once

#include <QByteArray>
#include <QLocale>
#include <QStringView>

// The charset and method with which encoded words are written in mail headers, and the code page
// whose bytes the words carry.
struct SubjectCharset {
    QByteArray charset; // the name in the encoded word: "GB2312", "Big5", ...
    char method;        // 'B' (base64) or 'Q' (quoted-printable-like)
    QByteArray codec;   // the converter that gives the text's bytes for that charset

    bool operator==(const SubjectCharset&) const = default;
};

namespace SubjectCharsets {

// The charset of a system language: Chinese of the People's Republic "GB2312", other Chinese "Big5",
// Japanese "ISO-2022-JP", Korean "EUC-KR", every other language "ISO-8859-1" with method Q.
SubjectCharset forLanguage(QLocale::Language language, QLocale::Territory territory);

// The row the monitor always writes with. Its texts are Chinese in GBK whatever language the
// operating system speaks, so the charset label must say so; a label taken from an English or
// German system would turn every Chinese subject into nonsense for the recipient.
SubjectCharset codePage936();

// The bytes of a text in the charset's code page. The "GB2312" row gives GBK, the superset that the
// monitor writes everywhere; characters a code page cannot hold become "?".
QByteArray bytesOf(const SubjectCharset& charset, QStringView text);

} // namespace SubjectCharsets
