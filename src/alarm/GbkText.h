#pragma once

#include <QByteArray>

namespace GbkText {

// The longest start of the GBK bytes, at most `limit` bytes, that does not end inside a character:
// a lead byte (0x81 to 0xFE) and the byte after it make one character.
QByteArray cut(const QByteArray& bytes, qsizetype limit);

} // namespace GbkText
