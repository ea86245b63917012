#include "records/LineStore.h"

#include "platform/CodePage.h"

LineStore::LineStore(QObject* parent)
    : QAbstractListModel(parent)
{}

QByteArrayView LineStore::bytesOf(qsizetype index) const
{
    const qsizetype begin = index == 0 ? 0 : m_ends[size_t(index - 1)];
    return QByteArrayView(m_text).sliced(begin, m_ends[size_t(index)] - begin);
}

QString LineStore::line(qsizetype index) const
{
    if (index < 0 || index >= count())
        return QString();
    return QString::fromUtf8(bytesOf(index));
}

QStringList LineStore::lines() const
{
    QStringList out;
    out.reserve(count());
    for (qsizetype i = 0; i < count(); ++i)
        out.append(line(i));
    return out;
}

void LineStore::append(const QString& text)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        parts.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size() || parts.isEmpty())
        parts.append(text.mid(start));

    const qsizetype first = count();
    beginInsertRows(QModelIndex(), int(first), int(first + parts.size() - 1));
    for (const QString& part : parts) {
        m_text += part.toUtf8();
        m_ends.push_back(m_text.size());
    }
    endInsertRows();
    Q_EMIT linesAppended(first, count() - 1);
}

void LineStore::clear()
{
    beginResetModel();
    m_text = QByteArray();
    m_ends = {};
    endResetModel();
}

QByteArray LineStore::toGbkFile() const
{
    // Encoded a thousand lines at a time: one conversion per line would cost more than the writing.
    constexpr qsizetype kLinesPerChunk = 1000;
    QByteArray out;
    out.reserve(m_text.size() + 2 * count());
    QString chunk;
    for (qsizetype i = 0; i < count(); ++i) {
        chunk += QString::fromUtf8(bytesOf(i));
        chunk += QStringLiteral("\r\n");
        if ((i + 1) % kLinesPerChunk == 0 || i + 1 == count()) {
            out += CodePage::toGbk(chunk);
            chunk.clear();
        }
    }
    return out;
}

int LineStore::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(count());
}

QVariant LineStore::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    return line(index.row());
}
