#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace CodePage {

QByteArray toGbk(QStringView text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    // Nearly every text comes back whole; only the others are taken apart character by character.
    if (fromGbk(bytes) == text)
        return bytes;
    // The converter leaves out some characters without a trace (soft hyphen, zero-width characters,
    // variation selectors, a byte-order mark, a lone surrogate at the end) and maps others to a
    // look-alike; neither comes back from its bytes, and each becomes "?".
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QStringView character = text.sliced(i, pair ? 2 : 1);
        const QByteArray encoded = encoder.encode(character);
        bytes += encoded.isEmpty() || QString(decoder.decode(encoded)) != character ? QByteArray("?") : encoded;
        i += character.size();
    }
    return bytes;
}

QString fromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

bool isValidGbk(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return false;
    const QString text = fromGbk(bytes);
    // Undefined bytes decode to replacement or private-use characters; a cut-off lead byte vanishes.
    for (const QChar c : text) {
        if (c == QChar(0xFFFD) || (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF))
            return false;
    }
    return toGbk(text) == bytes;
}

bool looksLikeUtf8(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return false;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QList<QByteArray> splitLines(const QByteArray& content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = content.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = content[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(content.mid(start, i - start));
        if (c == '\r' && i + 1 < n && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(content.mid(start));
    return lines;
}

QByteArray joinCrLf(const QList<QByteArray>& lines)
{
    qsizetype total = 0;
    for (const QByteArray& line : lines)
        total += line.size() + 2;
    QByteArray out;
    out.reserve(total);
    for (const QByteArray& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

QStringList linesFromGbk(const QByteArray& content)
{
    QStringList lines;
    for (const QByteArray& line : splitLines(content))
        lines.append(fromGbk(line));
    return lines;
}

QByteArray linesToGbk(const QStringList& lines)
{
    QList<QByteArray> encoded;
    encoded.reserve(lines.size());
    for (const QString& line : lines)
        encoded.append(toGbk(line));
    return joinCrLf(encoded);
}

} // namespace CodePage
