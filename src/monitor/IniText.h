#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The profile-file rules over the raw lines of an INI file (GBK bytes). Lines the rules do not
// touch stay byte for byte as they were.
class IniText {
public:
    explicit IniText(const QByteArray& content);

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    // The file content: every line followed by CR LF.
    QByteArray content() const;

private:
    struct Entry {
        qsizetype line; // index into m_lines
        QString key;    // as written in the file
        QString value;  // trimmed, one pair of quotes removed
    };
    std::optional<qsizetype> findSection(const QString& section) const;
    std::optional<Entry> findKey(qsizetype sectionLine, const QString& key) const;
    qsizetype endOfSection(qsizetype sectionLine) const;

    QList<QByteArray> m_lines;
};
