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

// True when the bytes are valid GBK (a file that is not GBK is still loaded, but callers may warn).
bool isValidGbk(QByteArrayView bytes);

// Splits file content at CR LF, LF or CR; a final line break does not make an empty last line.
QList<QByteArray> splitLines(const QByteArray& content);

// Joins lines, each followed by CR LF, as the monitor writes every text file.
QByteArray joinCrLf(const QList<QByteArray>& lines);

// Convenience: decode the lines of a GBK file content / encode lines for one.
QStringList linesFromGbk(const QByteArray& content);
QByteArray linesToGbk(const QStringList& lines);

} // namespace CodePage
