#include "app/MemoLines.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    return memo->document()->findBlockByNumber(index).text();
}

QStringList lines(const QPlainTextEdit* memo)
{
    QStringList out;
    const int n = count(memo);
    for (QTextBlock b = memo->document()->begin(); b.isValid() && out.size() < n; b = b.next())
        out.append(b.text());
    return out;
}

void setLine(QPlainTextEdit* memo, int index, const QString& text)
{
    if (index < 0 || index >= count(memo))
        return;
    QTextDocument* doc = memo->document();
    const bool modified = doc->isModified();
    QTextCursor cursor(doc->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    doc->setModified(modified);
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
    memo->setPlainText(text);
    memo->document()->setModified(modified);
}

int caretLine(const QPlainTextEdit* memo)
{
    // The start of a selection, not its moving end: a selection dragged downwards names its first line.
    return memo->document()->findBlock(memo->textCursor().selectionStart()).blockNumber();
}

} // namespace MemoLines
