#include "platform/TextFile.h"

#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace TextFile {

namespace {

// The operating system's reason why a file cannot be written. QSaveFile refuses an existing file it
// may not write with a text of its own ("Existing file ... is not writable"); opening the file for
// writing, without changing it, lets the system say why ("Read-only file system").
QString reasonNotWritable(const QString& path, const QString& qtReason)
{
    QFile existing(path);
    if (QFileInfo(path).isFile() && !existing.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return existing.errorString();
    return qtReason;
}

QString tooLarge()
{
    return QStringLiteral("文件大于%1 MiB").arg(kMaxReadSize / (1024 * 1024));
}

} // namespace

std::optional<QByteArray> readBytes(const QString& path, QString* error)
{
    const auto refuse = [error](const QString& reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    // Opening a FIFO or a device would wait for a writer or never end; only regular files are read.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refuse(QStringLiteral("不是普通文件"));
    if (info.size() > kMaxReadSize)
        return refuse(tooLarge());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    QByteArray bytes = file.read(kMaxReadSize + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(file.errorString());
    if (bytes.size() > kMaxReadSize) // grown since it was looked at
        return refuse(tooLarge());
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // A writable file in a folder the account may not create files in is written in place.
    file.setDirectWriteFallback(true);
    // Unbuffered, so that every failed write is seen here: Qt 6.4 commits a buffered file whose last
    // flush failed (disk full), replacing the old content with a short file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw AppError(FileErrors::cannotCreate(path, reasonNotWritable(path, file.errorString())));
    // A short write is retried, so that the one that cannot go on reports the system's reason.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw AppError(FileErrors::cannotCreate(path, reason));
        }
        done += written;
    }
    if (!file.commit())
        throw AppError(FileErrors::cannotCreate(path, file.errorString()));
}

} // namespace TextFile
