#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Every text the monitor keeps in files, sends in datagrams and mails is GBK (code page 936),
// so that the files and stations of existing installations are understood unchanged.
namespace CodePage {

// GBK bytes of a text. Characters that GBK cannot hold become "?".
QByteArray toGbk(QStringView text);

// Text of GBK bytes. Byte sequences that are not GBK become U+FFFD.
QString fromGbk(QByteArrayView bytes);

// True when the bytes are GBK text that comes back byte for byte when it is written again: no
// undefined or cut-off character, no NUL. A file that is not is still loaded, and callers warn.
bool isValidGbk(QByteArrayView bytes);

// True when the bytes read as Chinese in UTF-8 and not as sensible GBK: most likely a file saved in
// UTF-8, whose GBK reading is rare or undefined characters. Many GBK texts are valid UTF-8 too ("站" is
// D5 BE, an Armenian letter in UTF-8); those read as Chinese in GBK and are not taken for UTF-8.
bool looksLikeUtf8(QByteArrayView bytes);

// Splits file content at CR LF, LF or CR; a final line break does not make an empty last line.
QList<QByteArray> splitLines(const QByteArray& content);

// Joins lines, each followed by CR LF, as the monitor writes every text file.
QByteArray joinCrLf(const QList<QByteArray>& lines);

// Convenience: decode the lines of a GBK file content / encode lines for one.
QStringList linesFromGbk(const QByteArray& content);
QByteArray linesToGbk(const QStringList& lines);

} // namespace CodePage
