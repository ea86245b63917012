#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>

#include <vector>

// The lines of a pane, held compactly (one UTF-8 buffer and the offsets of the lines) so that a pane
// of a million lines stays small and quick. A list view shows it; the log and report files are
// written from it.
class LineStore : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LineStore(QObject* parent = nullptr);

    qsizetype count() const { return qsizetype(m_ends.size()); }
    QString line(qsizetype index) const;
    QStringList lines() const;

    // Appends the text as one line, or as several when it holds line breaks (CR LF, LF or CR), as a
    // text box does; a final line break does not add an empty line.
    void append(const QString& text);
    void clear();

    // The lines in GBK, each followed by CR LF: the content of a log or report file.
    QByteArray toGbkFile() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void linesAppended(qsizetype first, qsizetype last);

private:
    QByteArrayView bytesOf(qsizetype index) const;

    QByteArray m_text;             // the lines one after the other, UTF-8, no separators
    std::vector<qsizetype> m_ends; // end offset of each line in m_text
};
