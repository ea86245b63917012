#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reads and writes of the monitor's GBK, CR LF text files.
namespace TextFile {

// Far above any list or settings file; a larger one is refused rather than read whole.
inline constexpr qint64 kMaxReadSize = 64 * 1024 * 1024;

// Reads a regular file's bytes, without blocking; nullopt when it does not exist, cannot be read,
// is not a regular file (a FIFO, a device) or is larger than kMaxReadSize (the reason in *error).
std::optional<QByteArray> readBytes(const QString& path, QString* error = nullptr);

// Writes the bytes, replacing the file, so that a failure (a full disk) leaves the old file whole.
// Raises AppError "Cannot create file "%s". %s" with the operating system's reason on failure.
void writeBytes(const QString& path, const QByteArray& bytes);

} // namespace TextFile
