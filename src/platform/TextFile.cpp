#include "platform/TextFile.h"

#include "platform/AppError.h"
#include "platform/CodePage.h"

#include <QFile>
#include <QSaveFile>

namespace TextFile {

std::optional<QByteArray> readBytes(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // A writable file in a folder the account may not create files in is written in place.
    file.setDirectWriteFallback(true);
    // Replacing through a new file keeps the old content if the disk fills up half way.
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(FileErrors::cannotCreate(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw AppError(FileErrors::cannotCreate(path, file.errorString()));
}

QStringList readLines(const QString& path)
{
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes)
        return {};
    return CodePage::linesFromGbk(*bytes);
}

void writeLines(const QString& path, const QStringList& lines)
{
    writeBytes(path, CodePage::linesToGbk(lines));
}

} // namespace TextFile
