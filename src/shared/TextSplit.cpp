#include "shared/TextSplit.h"

namespace TextSplit {

QString trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString leftPart(const QString& text, QChar separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at < 0)
        return text;
    return trimmed(text.left(at));
}

QString rightPart(const QString& text, QChar separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at < 0)
        return QString();
    return trimmed(text.mid(at + 1));
}

std::optional<int> toInt(const QString& text)
{
    bool ok = false;
    const int value = trimmed(text).toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace TextSplit
