#include "alarm/GbkText.h"

namespace GbkText {

QByteArray cut(const QByteArray& bytes, qsizetype limit)
{
    if (bytes.size() <= limit)
        return bytes;
    qsizetype end = 0;
    while (end < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[end]);
        const qsizetype next = end + (byte >= 0x81 && byte <= 0xFE ? 2 : 1);
        if (next > limit)
            break;
        end = next;
    }
    return bytes.left(end);
}

} // namespace GbkText
