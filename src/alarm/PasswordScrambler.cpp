#include "alarm/PasswordScrambler.h"

#include "platform/CodePage.h"

#include <QRandomGenerator>

#include <algorithm>

namespace PasswordScrambler {
namespace {

struct Key {
    QByteArray bytes;
    int length; // L: 0 when no key was given, although the default key's bytes are used
};

Key keyFor(const std::optional<QString>& key)
{
    if (key)
        return {CodePage::toGbk(*key), int(CodePage::toGbk(*key).size())};
    return {QByteArray(kDefaultKey), 0};
}

int nextKeyPosition(int j, int length)
{
    return j < length ? j + 1 : 1;
}

unsigned char keyByte(const Key& key, int j)
{
    // Positions count from 1; a key shorter than the position contributes nothing.
    return j >= 1 && j <= key.bytes.size() ? static_cast<unsigned char>(key.bytes[j - 1]) : 0;
}

std::optional<int> hexValue(const QString& digits)
{
    const auto isHexDigit = [](QChar c) { return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f'); };
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), isHexDigit))
        return std::nullopt;
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    if (!ok || digits.startsWith(u'-') || digits.startsWith(u'+'))
        return std::nullopt;
    return value;
}

} // namespace

QString scramble(const QString& plain, const std::optional<QString>& key, std::optional<int> randomStart)
{
    const Key k = keyFor(key);
    const int r = randomStart ? (*randomStart & 0xFF) : int(QRandomGenerator::global()->bounded(256));
    QString out = QStringLiteral("%1").arg(r, 2, 16, QLatin1Char('0')).toUpper();
    int a = r;
    int j = 0;
    for (const char c : CodePage::toGbk(plain)) {
        const int b = static_cast<unsigned char>(c);
        a = (a + b) % 255;
        j = nextKeyPosition(j, k.length);
        a ^= keyByte(k, j);
        out += QStringLiteral("%1").arg(a, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString unscramble(const QString& scrambled, const std::optional<QString>& key)
{
    if (scrambled.trimmed().isEmpty())
        return QString();
    const Key k = keyFor(key);
    const std::optional<int> first = hexValue(scrambled.mid(0, 2));
    if (!first)
        return QString();
    int p = *first;
    int j = 0;
    qsizetype pos = 2; // 0-based index of the next pair
    QByteArray plain;
    for (;;) {
        const std::optional<int> v = hexValue(scrambled.mid(pos, 2));
        if (!v)
            return QString();
        j = nextKeyPosition(j, k.length);
        const int d = *v ^ keyByte(k, j);
        plain.append(static_cast<char>(p < d ? d - p : d - p + 255));
        pos += 2;
        if (pos + 1 >= scrambled.size()) // a lone trailing digit is ignored
            break;
        p = *v;
    }
    return CodePage::fromGbk(plain);
}

} // namespace PasswordScrambler
