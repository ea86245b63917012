#include "records/ReportLineScanner.h"

#include "platform/AppError.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}

// Index of the first CR or LF in [from, to), or to when there is none.
qsizetype findBreak(const char* data, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i) {
        if (isBreak(data[i]))
            return i;
    }
    return to;
}

// Index just after the last CR or LF in [from, to), or from when there is none.
qsizetype afterLastBreak(const char* data, qsizetype from, qsizetype to)
{
    for (qsizetype i = to; i > from; --i) {
        if (isBreak(data[i - 1]))
            return i;
    }
    return from;
}

QString cannotOpen(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString cannotRead(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot read file \"%1\". %2").arg(path, reason);
}

// Reads bytes [start, end) of the file again and returns to where reading stood.
QByteArray readBack(QFile& file, qint64 start, qint64 end, const QString& path)
{
    const qint64 resume = file.pos();
    if (!file.seek(start))
        throw AppError(cannotRead(path, file.errorString()));
    QByteArray bytes = file.read(end - start);
    if (bytes.size() != end - start || !file.seek(resume))
        throw AppError(cannotRead(path, file.errorString()));
    return bytes;
}

} // namespace

ReportLineScanner::ReportLineScanner(QByteArray key, qsizetype chunkSize, qsizetype longLine)
    : m_key(std::move(key))
    , m_matcher(m_key)
    , m_chunkSize(std::max<qsizetype>(chunkSize, 1))
    , m_longLine(std::max<qsizetype>(longLine, m_key.size()))
{}

void ReportLineScanner::scanFile(const QString& path, const LineSink& sink) const
{
    // An empty key matches no line, and neither does one with a line break in it (a key given on
    // the command line can hold one): no file needs reading for either.
    if (m_key.isEmpty() || m_key.contains('\r') || m_key.contains('\n'))
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(cannotOpen(path, file.errorString()));

    const qsizetype keyLen = m_key.size();
    QByteArray buf;
    qsizetype len = 0;      // bytes held; buf[0] is where the unfinished line starts
    qint64 bufOffset = 0;   // file offset of buf[0]
    qsizetype resumeAt = 0; // the held bytes before this were searched already
    // A line longer than m_longLine is not held: only where it started, whether it matched and its
    // last keyLen - 1 bytes (a key may straddle two chunks) are kept until its end comes.
    bool inLongLine = false;
    bool longLineMatched = false;
    qint64 longLineStart = 0;

    for (;;) {
        if (buf.size() < len + m_chunkSize)
            buf.resize(len + m_chunkSize);
        const qint64 got = file.read(buf.data() + len, m_chunkSize);
        if (got < 0)
            throw AppError(cannotRead(path, file.errorString()));
        const bool atEnd = got == 0;
        len += got;
        const char* data = buf.constData();
        qsizetype pos = 0; // everything before pos is done; pos is a line start or a line break

        if (inLongLine) {
            const qsizetype end = findBreak(data, 0, len);
            if (!longLineMatched && m_matcher.indexIn(data, end, 0) >= 0)
                longLineMatched = true;
            if (end == len && !atEnd) {
                const qsizetype keep = std::min(len, keyLen - 1);
                std::memmove(buf.data(), data + len - keep, keep);
                bufOffset += len - keep;
                len = keep;
                continue;
            }
            if (longLineMatched)
                sink(readBack(file, longLineStart, bufOffset + end, path));
            inLongLine = false;
            pos = end;
            resumeAt = 0;
        }

        qsizetype carryFrom = -1;
        qsizetype carryHit = -1;
        while (pos < len) {
            const qsizetype hit = m_matcher.indexIn(data, len, std::max(pos, resumeAt));
            if (hit < 0)
                break;
            const qsizetype lineStart = afterLastBreak(data, pos, hit);
            const qsizetype lineEnd = findBreak(data, hit + keyLen, len);
            if (lineEnd == len && !atEnd) {
                carryFrom = lineStart;
                carryHit = hit;
                break;
            }
            sink(QByteArrayView(data + lineStart, lineEnd - lineStart));
            pos = lineEnd;
        }
        if (atEnd)
            return;

        if (carryFrom < 0)
            carryFrom = afterLastBreak(data, pos, len);
        const qsizetype carry = len - carryFrom;
        if (carry > m_longLine) {
            inLongLine = true;
            longLineMatched = carryHit >= 0;
            longLineStart = bufOffset + carryFrom;
            const qsizetype keep = std::min(carry, keyLen - 1);
            std::memmove(buf.data(), data + len - keep, keep);
            bufOffset += len - keep;
            len = keep;
            continue;
        }
        std::memmove(buf.data(), data + carryFrom, carry);
        bufOffset += carryFrom;
        len = carry;
        resumeAt = carryHit >= 0 ? carryHit - carryFrom : std::max<qsizetype>(0, carry - (keyLen - 1));
    }
}
