#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Whole-file reads and writes of the monitor's GBK, CR LF text files.
namespace TextFile {

// Reads a file's bytes; nullopt when it does not exist or cannot be read (reason in *error).
std::optional<QByteArray> readBytes(const QString& path, QString* error = nullptr);

// Writes the bytes, replacing the file, so that a failure leaves the old file in place.
// Raises AppError "Cannot create file "%s". %s" on failure.
void writeBytes(const QString& path, const QByteArray& bytes);

// The lines of a GBK text file (CR LF, LF or CR); empty when the file is missing.
QStringList readLines(const QString& path);

// Writes the lines in GBK, each followed by CR LF.
void writeLines(const QString& path, const QStringList& lines);

} // namespace TextFile
