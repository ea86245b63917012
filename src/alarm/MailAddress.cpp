#include "alarm/MailAddress.h"

#include <optional>

namespace MailAddressList {
namespace {

// One piece between separators, with what the scanner learnt about its characters: a character
// that came after a backslash or inside quotes is literal and never a delimiter.
struct Piece {
    QString text;
    QList<bool> literal;
    QList<bool> quoted;

    void add(QChar c, bool isLiteral, bool isQuoted)
    {
        text.append(c);
        literal.append(isLiteral);
        quoted.append(isQuoted);
    }
    bool isPlain(qsizetype i) const { return !literal[i] && !quoted[i]; }
};

QList<Piece> splitPieces(const QString& text)
{
    QList<Piece> pieces(1);
    bool inQuotes = false;
    int commentDepth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            if (i + 1 < text.size() && commentDepth == 0)
                pieces.last().add(text[i + 1], true, inQuotes);
            ++i;
        } else if (commentDepth > 0) {
            // Comments are read only to find where they end; their text is no part of the address.
            if (c == QLatin1Char('('))
                ++commentDepth;
            else if (c == QLatin1Char(')'))
                --commentDepth;
        } else if (c == QLatin1Char('"')) {
            // The quote marks stay in the piece (an address may quote its local part); a display
            // name loses them when it is read.
            pieces.last().add(c, false, true);
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == QLatin1Char('(')) {
            commentDepth = 1;
        } else if (!inQuotes && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            pieces.append(Piece());
        } else {
            pieces.last().add(c, false, inQuotes);
        }
    }
    return pieces;
}

qsizetype findPlain(const Piece& piece, QChar wanted, qsizetype from = 0)
{
    for (qsizetype i = from; i < piece.text.size(); ++i) {
        if (piece.text[i] == wanted && piece.isPlain(i))
            return i;
    }
    return -1;
}

QString withoutQuoteMarks(const Piece& piece, qsizetype begin, qsizetype end)
{
    QString text;
    for (qsizetype i = begin; i < end; ++i) {
        if (piece.text[i] != QLatin1Char('"') || piece.literal[i])
            text.append(piece.text[i]);
    }
    return text.trimmed();
}

std::optional<MailAddress> readPiece(const Piece& piece)
{
    qsizetype begin = 0;
    const qsizetype angle = findPlain(piece, QLatin1Char('<'));
    const qsizetype colon = findPlain(piece, QLatin1Char(':'));
    if (colon >= 0 && (angle < 0 || colon < angle))
        begin = colon + 1; // a group name
    MailAddress result;
    if (angle >= 0) {
        qsizetype close = findPlain(piece, QLatin1Char('>'), angle + 1);
        if (close < 0)
            close = piece.text.size();
        result.name = withoutQuoteMarks(piece, begin, angle);
        result.address = piece.text.mid(angle + 1, close - angle - 1).trimmed();
        if (withoutQuoteMarks(piece, angle + 1, close).isEmpty())
            return std::nullopt;
    } else {
        result.address = piece.text.mid(begin).trimmed();
        if (withoutQuoteMarks(piece, begin, piece.text.size()).isEmpty())
            return std::nullopt; // nothing, or quote marks only: like "<>"
    }
    return result;
}

} // namespace

QList<MailAddress> parse(const QString& text)
{
    QList<MailAddress> addresses;
    for (const Piece& piece : splitPieces(text)) {
        if (const auto address = readPiece(piece))
            addresses.append(*address);
    }
    return addresses;
}

} // namespace MailAddressList
