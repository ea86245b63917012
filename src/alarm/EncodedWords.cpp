#include "alarm/EncodedWords.h"

#include <QList>

namespace EncodedWords {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool needsEncoding(unsigned char c)
{
    return c < 0x20 || c >= 0x7f;
}

struct Word {
    qsizetype begin;     // first blank
    qsizetype textBegin; // first byte after the blanks
    qsizetype end;
    bool encode;
};

QList<Word> splitWords(QByteArrayView text)
{
    QList<Word> words;
    qsizetype at = 0;
    while (at < text.size()) {
        Word word{at, at, at, false};
        while (word.textBegin < text.size() && isBlank(text[word.textBegin]))
            ++word.textBegin;
        word.end = word.textBegin;
        while (word.end < text.size() && !isBlank(text[word.end])) {
            word.encode = word.encode || needsEncoding(static_cast<unsigned char>(text[word.end]));
            ++word.end;
        }
        words.append(word);
        at = word.end;
    }
    return words;
}

// In a display name an encoded word may keep only letters, digits and "!*+-/" as they are; the
// address parser of a reader would take any other special for the syntax around the name.
bool keptInPhrase(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
           c == '+' || c == '-' || c == '/';
}

QByteArray qUnit(unsigned char c, bool phrase)
{
    if (c == ' ')
        return QByteArrayLiteral("_");
    const bool escaped = phrase ? !keptInPhrase(c) : needsEncoding(c) || c == '=' || c == '?' || c == '_';
    if (escaped) {
        static const char kHex[] = "0123456789ABCDEF";
        const char unit[] = {'=', kHex[c >> 4], kHex[c & 15]};
        return QByteArray(unit, 3);
    }
    return QByteArray(1, char(c));
}

QByteArray qDataOf(QByteArrayView bytes, bool phrase)
{
    QByteArray out;
    for (char c : bytes)
        out += qUnit(static_cast<unsigned char>(c), phrase);
    return out;
}

// One character of a run: an encoded word holds whole characters only, since a reader decodes each
// word on its own and shows both halves of a cut character as garbage. A code page with shift
// states (ISO-2022-JP) also names the escape sequence in force for the character: every word must
// switch to it itself and end back in ASCII.
struct Character {
    QByteArrayView bytes;
    QByteArrayView shift;
};

constexpr char kToAscii[] = "\x1b(B";

bool hasShiftStates(const SubjectCharset& charset)
{
    return charset.codec == "ISO-2022-JP";
}

QList<Character> charactersOf(QByteArrayView run, const SubjectCharset& charset)
{
    QList<Character> characters;
    const bool shifted = hasShiftStates(charset);
    // The double-byte code pages (GBK, Big5, EUC-KR) lead a character of two bytes with 0x81..0xFE.
    const bool doubleByte = charset.method == 'B' && !shifted;
    QByteArrayView shift = shifted ? QByteArrayView(kToAscii) : QByteArrayView();
    bool twoBytes = false;
    for (qsizetype at = 0; at < run.size();) {
        const auto byte = static_cast<unsigned char>(run[at]);
        if (shifted && byte == 0x1b) {
            // ESC, intermediate bytes 0x20..0x2F, one final byte.
            qsizetype end = at + 1;
            while (end < run.size() && run[end] >= 0x20 && run[end] <= 0x2f)
                ++end;
            end = qMin(end + 1, run.size());
            shift = run.sliced(at, end - at);
            twoBytes = shift.size() > 1 && shift[1] == '$';
            at = end;
            continue;
        }
        const bool pair = (twoBytes && byte >= 0x21) || (doubleByte && byte >= 0x81 && byte <= 0xfe);
        const qsizetype length = pair && at + 1 < run.size() ? 2 : 1;
        characters.append({run.sliced(at, length), shift});
        at += length;
    }
    return characters;
}

// The run's bytes cut into the byte strings of its encoded words, each as long as the word limit
// allows and each starting and ending in ASCII where the code page has shift states.
QList<QByteArray> wordBytes(QByteArrayView run, const SubjectCharset& charset, qsizetype firstRoom, qsizetype room,
                            bool phrase)
{
    const QByteArray ascii = hasShiftStates(charset) ? QByteArray(kToAscii) : QByteArray();
    QList<QByteArray> words;
    const auto fits = [&](const QByteArray& bytes) {
        const qsizetype length = charset.method == 'B' ? (bytes.size() + 2) / 3 * 4 : qDataOf(bytes, phrase).size();
        return length <= (words.isEmpty() ? firstRoom : room);
    };
    QByteArray word;
    QByteArrayView shift = ascii;
    const auto closed = [&](const QByteArray& bytes, QByteArrayView last) {
        return last == ascii ? bytes : bytes + ascii;
    };
    for (const Character& c : charactersOf(run, charset)) {
        const auto piece = [&] {
            return c.shift == shift ? c.bytes.toByteArray() : c.shift.toByteArray() + c.bytes.toByteArray();
        };
        if (!word.isEmpty() && !fits(closed(word + piece(), c.shift))) {
            words.append(closed(word, shift));
            word.clear();
            shift = ascii;
        }
        word += piece();
        shift = c.shift;
    }
    if (!word.isEmpty() || words.isEmpty())
        words.append(closed(word, shift));
    return words;
}

QByteArray encodeRun(QByteArrayView run, const SubjectCharset& charset, bool phrase, qsizetype column)
{
    const QByteArray opening = "=?" + charset.charset + '?' + charset.method + '?';
    const qsizetype overhead = opening.size() + 2;
    const qsizetype room = kWordLimit - overhead;
    // The first word shares its line with what stands before it. When hardly anything is left there,
    // it is written whole, for the header to be folded before it.
    qsizetype firstRoom = qMin<qsizetype>(kWordLimit, kLineLimit - column) - overhead;
    if (firstRoom < 4)
        firstRoom = room;
    QByteArray out;
    for (const QByteArray& bytes : wordBytes(run, charset, firstRoom, room, phrase)) {
        if (!out.isEmpty())
            out += "\r\n\t";
        out += opening + (charset.method == 'B' ? bytes.toBase64() : qDataOf(bytes, phrase)) + "?=";
    }
    return out;
}

} // namespace

QByteArray qData(QByteArrayView bytes)
{
    return qDataOf(bytes, false);
}

QByteArray encode(QByteArrayView text, const SubjectCharset& charset, qsizetype column)
{
    const QList<Word> words = splitWords(text);
    QByteArray out;
    for (qsizetype i = 0; i < words.size();) {
        const Word& first = words[i];
        if (!first.encode) {
            out += text.sliced(first.begin, first.end - first.begin);
            ++i;
            continue;
        }
        qsizetype last = i;
        while (last + 1 < words.size() && words[last + 1].encode)
            ++last;
        out += text.sliced(first.begin, first.textBegin - first.begin);
        const qsizetype lineStart = out.lastIndexOf('\n') + 1;
        const qsizetype runColumn = lineStart > 0 ? out.size() - lineStart : column + out.size();
        out += encodeRun(text.sliced(first.textBegin, words[last].end - first.textBegin), charset, false, runColumn);
        i = last + 1;
    }
    return out;
}

QByteArray encodePhrase(QByteArrayView text, const SubjectCharset& charset, qsizetype column)
{
    return encodeRun(text, charset, true, column);
}

} // namespace EncodedWords
