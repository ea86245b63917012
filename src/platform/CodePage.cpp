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

namespace {

// How ordinary a character is in Chinese text: 2 for the first level of GB 2312's hanzi (the 3755
// everyday ones) and its punctuation and full-width forms, 1 for its other characters (second-level
// hanzi, kana, Greek, Cyrillic, box drawing), 0 for everything else: GBK's additions, its private
// areas and the characters that GBK cannot hold at all.
int ordinariness(QStringView character, QStringEncoder& encoder, QStringDecoder& decoder)
{
    const QByteArray bytes = encoder.encode(character);
    if (bytes.size() != 2 || QString(decoder.decode(bytes)) != character)
        return 0;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const auto trail = static_cast<unsigned char>(bytes[1]);
    if (trail < 0xA1 || trail > 0xFE)
        return 0;
    if ((lead >= 0xB0 && lead <= 0xD7) || (lead >= 0xA1 && lead <= 0xA3))
        return 2;
    if ((lead >= 0xD8 && lead <= 0xF7) || (lead >= 0xA4 && lead <= 0xA9))
        return 1;
    return 0;
}

// The mean ordinariness of the text's characters beyond ASCII; surrogate pairs count as one character.
double meanOrdinariness(QStringView text)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    qint64 sum = 0;
    qint64 count = 0;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const QStringView character = text.sliced(i, pair ? 2 : 1);
        i += character.size();
        if (character[0].unicode() < 0x80)
            continue;
        sum += ordinariness(character, encoder, decoder);
        ++count;
    }
    return count == 0 ? 0.0 : double(sum) / double(count);
}

bool hasHan(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0x3400 && c.unicode() <= 0x4DBF);
    });
}

} // namespace

bool looksLikeUtf8(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return false;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || !hasHan(text))
        return false;
    // A UTF-8 file read as GBK falls apart into second-level, added and undefined characters, while
    // the names an operator gives read as everyday characters.
    return meanOrdinariness(text) > meanOrdinariness(fromGbk(bytes));
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
