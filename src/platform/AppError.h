#pragma once

#include <QString>

#include <stdexcept>

// An operation of the monitor that failed with a text meant for the operator. Handlers catch it
// and show the text where the monitor reports such failures (a line or an error box).
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& text)
        : std::runtime_error(text.toStdString())
        , m_text(text)
    {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// The two file errors every file writer of the monitor raises.
namespace FileErrors {
// "Cannot create file "%s". %s": the path and the system's reason.
inline QString cannotCreate(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}
// "Unable to write to %s": the settings file could not be written.
inline QString unableToWrite(const QString& path)
{
    return QStringLiteral("Unable to write to %1").arg(path);
}
} // namespace FileErrors
