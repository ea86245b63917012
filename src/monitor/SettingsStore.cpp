#include "monitor/SettingsStore.h"

#include "monitor/IniText.h"
#include "platform/AppError.h"
#include "platform/TextFile.h"

#include <QFileInfo>

SettingsStore::SettingsStore(QString path)
    : m_path(std::move(path))
{}

QString SettingsStore::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    const std::optional<QByteArray> content = TextFile::readBytes(m_path);
    if (!content)
        return defaultValue.left(kMaxValueLength);
    const std::optional<QString> value = IniText(*content).value(section, key);
    return value.value_or(defaultValue).left(kMaxValueLength);
}

void SettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    const std::optional<QByteArray> content = TextFile::readBytes(m_path);
    // A file that exists but cannot be read must not be replaced by one holding this key alone.
    if (!content && QFileInfo::exists(m_path))
        throw AppError(FileErrors::unableToWrite(m_path));
    IniText ini(content.value_or(QByteArray()));
    ini.setValue(section, key, value);
    try {
        TextFile::writeBytes(m_path, ini.content());
    } catch (const AppError&) {
        throw AppError(FileErrors::unableToWrite(m_path));
    }
}
