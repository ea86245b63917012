#include "records/ReportLineScanner.h"
#include "platform/AppError.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The lines a report must show, worked out the plain way: runs of bytes between CR and LF.
QList<QByteArray> expectedLines(const QByteArray& content, const QByteArray& key)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= content.size(); ++i) {
        if (i == content.size() || content[i] == '\r' || content[i] == '\n') {
            const QByteArray line = content.mid(start, i - start);
            if (line.contains(key))
                lines.append(line);
            start = i + 1;
        }
    }
    return lines;
}

QString writeFile(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("log20260101000000.txt"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    return path;
}

QList<QByteArray> scan(const QString& path, const QByteArray& key, qsizetype chunk, qsizetype longLine)
{
    QList<QByteArray> lines;
    ReportLineScanner(key, chunk, longLine).scanFile(path, [&](QByteArrayView line) {
        lines.append(line.toByteArray());
    });
    return lines;
}

} // namespace

// Every way a line can be cut by the chunk boundaries and by the long-line limit must give the
// same lines as reading the file whole.
TEST(ReportLineScanner, FindsTheSameLinesWhateverTheChunkAndLongLineSizes)
{
    const QByteArray key = "10.0.0.1:A";
    const QByteArray longMatch = QByteArray(40, 'x') + key + QByteArray(30, 'y');
    const QByteArray longMiss = QByteArray(90, 'z');
    const QList<QByteArray> contents = {
        "",
        "10.0.0.1:A",
        "10.0.0.1:A\r\n",
        "a 10.0.0.1:A b\r\nc 10.0.0.1:AB d\r\n10.0.0.1:\r\nA\r\n\r\n\r\n10.0.0.1:A\r\n",
        "lf only 10.0.0.1:A\nnext\n10.0.0.1:A last without break",
        "cr only\r10.0.0.1:A\rx\r",
        "10.0.0.110.0.0.1:A\r\n10.0.0.10.0.0.1:A\n",
        longMiss + "\r\n" + longMatch + "\r\n" + longMiss + key + "\r\n" + key + longMiss,
        longMatch,
        "\xff\x80\xfe 10.0.0.1:A \x81\r\n\xd5\xbe\xb5\xe3",
    };
    const QTemporaryDir dir;
    for (const QByteArray& content : contents) {
        const QString path = writeFile(dir, content);
        const QList<QByteArray> expected = expectedLines(content, key);
        for (qsizetype chunk : {1, 2, 3, 5, 9, 10, 11, 17, 64, 4096}) {
            for (qsizetype longLine : {10, 11, 15, 32, 200, 1 << 20}) {
                EXPECT_EQ(scan(path, key, chunk, longLine), expected)
                    << "content " << content.toStdString() << " chunk " << chunk << " long line " << longLine;
            }
        }
    }
}

TEST(ReportLineScanner, KeepsLinesUnchangedAndLetterCaseCounts)
{
    // "2026-03-07 23:59:58 -> 192.168.1.1:Router机房网络" in GBK
    const QByteArray line = "2026-03-07 23:59:58 -> 192.168.1.1:Router\xbb\xfa\xb7\xbf\xcd\xf8\xc2\xe7";
    const QTemporaryDir dir;
    const QString path = writeFile(dir, line + "\r\n");
    EXPECT_EQ(scan(path, "192.168.1.1:Router\xbb\xfa", 4096, 1 << 20), QList<QByteArray>{line});
    EXPECT_TRUE(scan(path, "192.168.1.1:router", 4096, 1 << 20).isEmpty());
    EXPECT_TRUE(scan(path, "192.168.1.1:ROUTER", 4096, 1 << 20).isEmpty());
}

TEST(ReportLineScanner, AMissingFileRaisesTheSystemsReason)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log20260101.txt"));
    try {
        scan(path, "key", 4096, 1 << 20);
        FAIL() << "no error for a missing file";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.text().contains(path));
        EXPECT_TRUE(error.text().contains(QStringLiteral("No such file"))) << error.text().toStdString();
    }
}

TEST(ReportLineScanner, KeysThatCanMatchNoLineReadNothing)
{
    const QTemporaryDir dir;
    const QString path = writeFile(dir, "a\r\nb\r\n");
    for (const QByteArray& key : {QByteArray(), QByteArray("a\r\nb"), QByteArray("a\n"), QByteArray("\rb")}) {
        EXPECT_TRUE(scan(path, key, 4096, 1 << 20).isEmpty()) << key.toStdString();
        // A file that does not exist is not even opened.
        EXPECT_NO_THROW(scan(QStringLiteral("/nonexistent.invalid/log.txt"), key, 4096, 1 << 20));
    }
}
