#include "app/MemoLines.h"

#include <QEvent>
#include <QMap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The rewrites a hidden, locked memo has taken and not yet put into its text, by line.
class KeptRewrites : public QObject {
public:
    explicit KeptRewrites(QPlainTextEdit* memo)
        : QObject(memo)
        , m_memo(memo)
    {
        setObjectName(QStringLiteral("MemoLinesKeptRewrites"));
        memo->installEventFilter(this);
        connect(memo->document(), &QTextDocument::contentsChange, this, [this] {
            if (!m_writing)
                m_lines.clear(); // someone else wrote the text: it is the truth now
        });
    }

    static KeptRewrites* of(const QPlainTextEdit* memo)
    {
        return memo->findChild<KeptRewrites*>(QStringLiteral("MemoLinesKeptRewrites"), Qt::FindDirectChildrenOnly);
    }

    static KeptRewrites& ensure(QPlainTextEdit* memo)
    {
        if (KeptRewrites* kept = of(memo))
            return *kept;
        return *new KeptRewrites(memo);
    }

    const QMap<int, QString>& lines() const { return m_lines; }
    void keep(int index, const QString& text) { m_lines.insert(index, text); }
    void discard() { m_lines.clear(); }

    // Every kept rewrite into the text in one edit, so the memo lays out and repaints once.
    void flush()
    {
        if (m_lines.isEmpty())
            return;
        QTextDocument* doc = m_memo->document();
        const bool modified = doc->isModified();
        m_writing = true;
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        for (auto it = m_lines.cbegin(); it != m_lines.cend(); ++it) {
            const QTextBlock block = doc->findBlockByNumber(it.key());
            if (!block.isValid())
                break;
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(it.value());
        }
        cursor.endEditBlock();
        m_writing = false;
        m_lines.clear();
        doc->setModified(modified);
    }

    // One rewrite straight into the text, as one change.
    void write(int index, const QString& text)
    {
        QTextDocument* doc = m_memo->document();
        const bool modified = doc->isModified();
        m_writing = true;
        QTextCursor cursor(doc->findBlockByNumber(index));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(text);
        m_writing = false;
        doc->setModified(modified);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_memo && event->type() == QEvent::Show)
            flush();
        return false;
    }

private:
    QPlainTextEdit* m_memo;
    QMap<int, QString> m_lines;
    bool m_writing = false;
};

// Nobody sees the memo's text and nobody can edit it: a rewrite can wait.
bool canKeep(const QPlainTextEdit* memo)
{
    return memo->isReadOnly() && !memo->isVisible();
}

} // namespace

namespace MemoLines {

int count(const QPlainTextEdit* memo)
{
    const QTextDocument* doc = memo->document();
    const int blocks = doc->blockCount();
    return doc->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

QString line(const QPlainTextEdit* memo, int index)
{
    if (index < 0 || index >= count(memo))
        return QString();
    if (const KeptRewrites* kept = KeptRewrites::of(memo)) {
        if (const auto it = kept->lines().constFind(index); it != kept->lines().cend())
            return *it;
    }
    return memo->document()->findBlockByNumber(index).text();
}

QStringList lines(const QPlainTextEdit* memo)
{
    QStringList out;
    const int n = count(memo);
    for (QTextBlock b = memo->document()->begin(); b.isValid() && out.size() < n; b = b.next())
        out.append(b.text());
    if (const KeptRewrites* kept = KeptRewrites::of(memo)) {
        for (auto it = kept->lines().cbegin(); it != kept->lines().cend(); ++it)
            out[it.key()] = it.value();
    }
    return out;
}

void setLine(QPlainTextEdit* memo, int index, const QString& text)
{
    if (index < 0 || index >= count(memo))
        return;
    KeptRewrites& kept = KeptRewrites::ensure(memo);
    if (canKeep(memo)) {
        kept.keep(index, text);
        return;
    }
    kept.flush(); // what was kept came first
    kept.write(index, text);
}

void flush(QPlainTextEdit* memo)
{
    if (KeptRewrites* kept = KeptRewrites::of(memo))
        kept->flush();
}

bool hasFinalBreak(const QPlainTextEdit* memo)
{
    const QTextDocument* doc = memo->document();
    return doc->blockCount() > 1 && doc->lastBlock().text().isEmpty();
}

void setLines(QPlainTextEdit* memo, const QStringList& lines, bool finalBreak)
{
    const bool modified = memo->document()->isModified();
    // A final line break ends the last line; a blank last line needs one of its own to count.
    QString text = lines.join(u'\n');
    if (!lines.isEmpty() && (finalBreak || lines.last().isEmpty()))
        text += u'\n';
    if (KeptRewrites* kept = KeptRewrites::of(memo))
        kept->discard();
    memo->setPlainText(text);
    memo->document()->setModified(modified);
}

int caretLine(const QPlainTextEdit* memo)
{
    // The start of a selection, not its moving end: a selection dragged downwards names its first line.
    return memo->document()->findBlock(memo->textCursor().selectionStart()).blockNumber();
}

} // namespace MemoLines
