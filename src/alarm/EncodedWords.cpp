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

QByteArray qUnit(unsigned char c)
{
    if (c == ' ')
        return QByteArrayLiteral("_");
    if (needsEncoding(c) || c == '=' || c == '?' || c == '_') {
        static const char kHex[] = "0123456789ABCDEF";
        const char unit[] = {'=', kHex[c >> 4], kHex[c & 15]};
        return QByteArray(unit, 3);
    }
    return QByteArray(1, char(c));
}

// The data of one run, cut into units none of which may be split across two encoded words.
QList<QByteArray> runUnits(QByteArrayView run, char method)
{
    QList<QByteArray> units;
    if (method == 'B') {
        for (qsizetype at = 0; at < run.size(); at += 3)
            units.append(run.sliced(at, qMin<qsizetype>(3, run.size() - at)).toByteArray().toBase64());
    } else {
        for (char c : run)
            units.append(qUnit(static_cast<unsigned char>(c)));
    }
    return units;
}

QByteArray encodeRun(QByteArrayView run, const SubjectCharset& charset)
{
    const QByteArray opening = "=?" + charset.charset + '?' + charset.method + '?';
    QByteArray out = opening;
    qsizetype wordLength = opening.size() + 2;
    for (const QByteArray& unit : runUnits(run, charset.method)) {
        if (wordLength + unit.size() > kWordLimit && wordLength > opening.size() + 2) {
            out += "?=\r\n\t" + opening;
            wordLength = opening.size() + 2;
        }
        out += unit;
        wordLength += unit.size();
    }
    return out + "?=";
}

} // namespace

QByteArray qData(QByteArrayView bytes)
{
    QByteArray out;
    for (char c : bytes)
        out += qUnit(static_cast<unsigned char>(c));
    return out;
}

QByteArray encode(QByteArrayView text, const SubjectCharset& charset)
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
        out += encodeRun(text.sliced(first.textBegin, words[last].end - first.textBegin), charset);
        i = last + 1;
    }
    return out;
}

} // namespace EncodedWords
