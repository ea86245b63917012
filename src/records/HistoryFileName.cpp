#include "records/HistoryFileName.h"

#include <QCryptographicHash>

namespace {

// Most file systems take 255 bytes in a name.
constexpr qsizetype kMaxName = 255;

bool keptAsIs(char c, bool first)
{
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    return plain && !(first && c == '.'); // no hidden file, no "." or ".."
}

QByteArray encoded(const QString& key)
{
    const QByteArray bytes = key.toUtf8();
    QByteArray name;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (keptAsIs(c, i == 0))
            name += c;
        else
            name += '%' + QByteArray(1, c).toHex().toUpper();
    }
    return name;
}

} // namespace

QString HistoryFileName::fromKey(const QString& key)
{
    QByteArray name = encoded(key);
    const qsizetype room = kMaxName - qsizetype(qstrlen(kSuffix));
    if (name.size() > room) {
        // Too long to read back: a part of the key and a digest of all of it, still one file per key.
        const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
        name.truncate(room - digest.size() - 1);
        while (name.endsWith('%') || (name.size() > 1 && name[name.size() - 2] == '%'))
            name.chop(1); // no half escape
        name += '~' + digest;
    }
    return QString::fromLatin1(name + kSuffix);
}

std::optional<QString> HistoryFileName::toKey(const QString& fileName)
{
    if (!fileName.endsWith(QLatin1String(kSuffix)))
        return std::nullopt;
    const QByteArray name = fileName.chopped(qsizetype(qstrlen(kSuffix))).toLatin1();
    QByteArray bytes;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] != '%') {
            bytes += name[i];
            continue;
        }
        bool ok = false;
        const int byte = name.mid(i + 1, 2).toInt(&ok, 16);
        if (!ok || i + 2 >= name.size())
            return std::nullopt;
        bytes += char(byte);
        i += 2;
    }
    const QString key = QString::fromUtf8(bytes);
    // Only the one name that the key is written as stands for it.
    if (fromKey(key) != fileName)
        return std::nullopt;
    return key;
}
