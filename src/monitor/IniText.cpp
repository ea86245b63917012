#include "monitor/IniText.h"

#include "platform/CodePage.h"

namespace {

QByteArray trimmedBytes(const QByteArray& line)
{
    return line.trimmed();
}

bool isSectionHeader(const QByteArray& trimmed)
{
    return trimmed.startsWith('[');
}

QString sectionName(const QByteArray& trimmed)
{
    qsizetype end = trimmed.indexOf(']');
    if (end < 0)
        end = trimmed.size();
    return CodePage::fromGbk(trimmed.mid(1, end - 1).trimmed());
}

QString unquoted(QString value)
{
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == u'"' || value.front() == u'\''))
        return value.mid(1, value.size() - 2);
    return value;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value is one line of the file: line breaks inside it would create keys of their own.
QString oneLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

} // namespace

IniText::IniText(const QByteArray& content)
    : m_lines(CodePage::splitLines(content))
{}

std::optional<qsizetype> IniText::findSection(const QString& section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray t = trimmedBytes(m_lines[i]);
        if (isSectionHeader(t) && sameName(sectionName(t), section))
            return i;
    }
    return std::nullopt;
}

qsizetype IniText::endOfSection(qsizetype sectionLine) const
{
    qsizetype i = sectionLine + 1;
    while (i < m_lines.size() && !isSectionHeader(trimmedBytes(m_lines[i])))
        ++i;
    return i;
}

std::optional<IniText::Entry> IniText::findKey(qsizetype sectionLine, const QString& key) const
{
    const qsizetype end = endOfSection(sectionLine);
    for (qsizetype i = sectionLine + 1; i < end; ++i) {
        const QByteArray t = trimmedBytes(m_lines[i]);
        if (t.startsWith(';'))
            continue;
        const qsizetype eq = t.indexOf('=');
        if (eq < 0)
            continue;
        const QString name = CodePage::fromGbk(t.left(eq).trimmed());
        if (sameName(name, key))
            return Entry{i, name, unquoted(CodePage::fromGbk(t.mid(eq + 1).trimmed()))};
    }
    return std::nullopt;
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const
{
    const std::optional<qsizetype> at = findSection(section);
    if (!at)
        return std::nullopt;
    const std::optional<Entry> entry = findKey(*at, key);
    if (!entry)
        return std::nullopt;
    return entry->value;
}

void IniText::setValue(const QString& section, const QString& key, const QString& value)
{
    const QByteArray valueBytes = CodePage::toGbk(oneLine(value));
    const std::optional<qsizetype> at = findSection(section);
    if (!at) {
        if (!m_lines.isEmpty() && !m_lines.back().trimmed().isEmpty())
            m_lines.append(QByteArray());
        m_lines.append('[' + CodePage::toGbk(section) + ']');
        m_lines.append(CodePage::toGbk(key) + '=' + valueBytes);
        return;
    }
    if (const std::optional<Entry> entry = findKey(*at, key)) {
        m_lines[entry->line] = CodePage::toGbk(entry->key) + '=' + valueBytes;
        return;
    }
    // A new key goes after the section's last non-blank line, before the blank lines that part sections.
    qsizetype insertAt = endOfSection(*at);
    while (insertAt > *at + 1 && m_lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, CodePage::toGbk(key) + '=' + valueBytes);
}

QByteArray IniText::content() const
{
    return CodePage::joinCrLf(m_lines);
}
