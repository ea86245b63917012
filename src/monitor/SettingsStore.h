#pragma once

#include <QString>

// Para.ini, read and written with the rules of the Windows profile functions: sections and keys
// match without regard to letter case, values are trimmed and lose one pair of surrounding quotes,
// and every write rewrites the file at once, keeping every other line (comments, unknown sections,
// odd bytes) as it was. Nothing is cached: a value put into the file by other means is seen.
class SettingsStore {
public:
    // Longest value read back, as the profile functions' 2048-byte buffer allows.
    static constexpr int kMaxValueLength = 2047;

    explicit SettingsStore(QString path);

    const QString& path() const { return m_path; }

    // The value of the key, or the default when the section, the key or the file is missing.
    QString read(const QString& section, const QString& key, const QString& defaultValue = QString()) const;

    // Writes the value, creating the file, section and key as needed.
    // Raises AppError "Unable to write to <path>" when the file cannot be written.
    void write(const QString& section, const QString& key, const QString& value);

private:
    QString m_path;
};
