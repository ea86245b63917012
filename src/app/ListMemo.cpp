#include "app/ListMemo.h"

#include "app/MemoLines.h"
#include "platform/CodePage.h"
#include "platform/TextFile.h"

#include <QFileInfo>
#include <QPlainTextEdit>

ListMemo::ListMemo(QPlainTextEdit* memo, QString path, Texts texts, std::function<void(const QString&)> addInfo)
    : m_memo(memo)
    , m_path(std::move(path))
    , m_texts(std::move(texts))
    , m_addInfo(std::move(addInfo))
{}

void ListMemo::load()
{
    const QString name = QFileInfo(m_path).fileName();
    QString reason;
    const std::optional<QByteArray> bytes = TextFile::readBytes(m_path, &reason);
    QStringList lines;
    bool finalBreak = false;
    if (!bytes && !QFileInfo::exists(m_path)) {
        m_addInfo(QStringLiteral("找不到文件%1，%2为空。").arg(name, m_texts.listName));
    } else if (!bytes) {
        m_addInfo(QStringLiteral("无法读取文件%1（%2），%3为空。").arg(name, reason, m_texts.listName));
    } else {
        if (CodePage::looksLikeUtf8(*bytes))
            m_addInfo(QStringLiteral("文件%1似乎是UTF-8编码的文本，请另存为GBK编码。").arg(name));
        else if (!CodePage::isValidGbk(*bytes))
            m_addInfo(QStringLiteral("文件%1不是GBK编码的文本，无法识别的字符已用“\uFFFD”代替。").arg(name));
        lines = CodePage::linesFromGbk(*bytes);
        for (QString& line : lines)
            line.replace(QChar(0), QChar(0xFFFD));
        finalBreak = bytes->endsWith('\n') || bytes->endsWith('\r');
    }
    // The memo keeps the file's final line break, so that saving the list writes it again.
    MemoLines::setLines(m_memo, lines, finalBreak);
    m_memo->document()->setModified(false);
    lock();
}

// Locked, the list keeps no undo history (a cycle rewriting every line would grow it without end)
// and the caret still moves with the keys, since the caret line names the address for reports.
void ListMemo::lock()
{
    m_memo->setReadOnly(true);
    m_memo->document()->setUndoRedoEnabled(false);
    m_memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void ListMemo::unlock()
{
    MemoLines::flush(m_memo); // the operator edits the lines as the monitor last wrote them
    m_memo->setReadOnly(false);
    m_memo->document()->setUndoRedoEnabled(true);
    m_addInfo(m_texts.unlocked);
}

void ListMemo::lockAndSave()
{
    lock();
    if (m_memo->document()->isModified()) {
        MemoLines::flush(m_memo);
        QString text = m_memo->toPlainText();
        text.replace(u'\n', QStringLiteral("\r\n"));
        const QByteArray bytes = CodePage::toGbk(text);
        TextFile::writeBytes(m_path, bytes);
        if (CodePage::fromGbk(bytes) != text)
            m_addInfo(QStringLiteral("%1中有GBK编码不能表示的字符，已保存为\"?\"。").arg(m_texts.listName));
    }
    m_addInfo(m_texts.saved);
}
