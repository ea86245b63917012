#include "app/MemoLines.h"
#include "app/ListMemo.h"
#include "platform/CodePage.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

const QStringList kLines{QStringLiteral("10.0.0.1:机房=100%"), QStringLiteral("10.0.0.2:办公楼=100%"),
                         QStringLiteral("10.0.0.3:仓库=100%")};
const QStringList kRewritten{QStringLiteral("10.0.0.1:机房=100%,3"), QStringLiteral("10.0.0.2:办公楼=75%,812"),
                             QStringLiteral("10.0.0.3:仓库=0%,5000")};

// A locked list memo of three lines in a window, with the caret inside the second, counting the
// changes its text goes through (each one is a layout and a repaint of the memo).
struct CountedMemo {
    QWidget window;
    QPlainTextEdit memo{&window};
    int changes = 0;

    CountedMemo()
    {
        window.resize(300, 200);
        MemoLines::setLines(&memo, kLines, true);
        memo.setReadOnly(true);
        QTextCursor caret(memo.document()->findBlockByNumber(1));
        caret.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
        memo.setTextCursor(caret);
        QObject::connect(memo.document(), &QTextDocument::contentsChange, &memo, [this] { ++changes; });
    }

    void rewriteAll()
    {
        for (int i = 0; i < kRewritten.size(); ++i)
            MemoLines::setLine(&memo, i, kRewritten[i]);
    }
    QString text() const { return memo.toPlainText(); }
};

const QString kRewrittenText = kRewritten.join(u'\n') + u'\n';

} // namespace

// Unseen and locked, the rewrites wait and cost no layout; seen or editable, each is one change.
// Either way the lines read back rewritten, and once the memo is shown its text, caret and modified
// mark are those of rewrites made one by one.
TEST(MemoLinesTest, RewritesWaitWhileNobodySeesTheMemoAndAreOneChangeEachOtherwise)
{
    struct Case {
        const char* name;
        bool shown;
        bool locked;
        bool modified;
        int changesWhileRewriting;
    };
    for (const Case& c :
         {Case{"hidden, locked", false, true, false, 0}, Case{"hidden, locked, edited", false, true, true, 0},
          Case{"shown, locked", true, true, false, 3}, Case{"hidden, unlocked", false, false, false, 3}}) {
        SCOPED_TRACE(c.name);
        CountedMemo m;
        m.memo.setReadOnly(c.locked);
        m.memo.document()->setModified(c.modified);
        if (c.shown)
            m.window.show();
        m.changes = 0;
        m.rewriteAll();
        EXPECT_EQ(m.changes, c.changesWhileRewriting);
        EXPECT_EQ(MemoLines::lines(&m.memo), kRewritten);
        EXPECT_EQ(MemoLines::line(&m.memo, 1), kRewritten[1]);
        EXPECT_EQ(MemoLines::line(&m.memo, MemoLines::caretLine(&m.memo)), kRewritten[1]);
        EXPECT_EQ(MemoLines::count(&m.memo), 3);
        EXPECT_EQ(m.text() == kRewrittenText, c.changesWhileRewriting > 0);

        m.window.show(); // as the window comes back from the notification area
        EXPECT_EQ(m.changes, c.changesWhileRewriting > 0 ? c.changesWhileRewriting : 1);
        EXPECT_EQ(m.text(), kRewrittenText);
        EXPECT_EQ(m.memo.document()->isModified(), c.modified);
        EXPECT_EQ(m.memo.textCursor().blockNumber(), 1);
        // A caret inside a rewritten line ends up behind its new text, as it always has.
        EXPECT_EQ(m.memo.textCursor().positionInBlock(), kRewritten[1].size());
        EXPECT_TRUE(MemoLines::hasFinalBreak(&m.memo));
    }
}

// What the operator and the list's file see of rewrites that were still waiting.
TEST(MemoLinesTest, WaitingRewritesReachTheEditsAndTheFileOrGiveWayToNewText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ip.txt"));
    QStringList infos;
    enum class Then { UnlockEditSave, SaveUnchanged, LoadFile, ForeignText };
    for (const Then then : {Then::UnlockEditSave, Then::SaveUnchanged, Then::LoadFile, Then::ForeignText}) {
        SCOPED_TRACE(int(then));
        QFile::remove(path);
        CountedMemo m;
        ListMemo list(&m.memo, path, {QStringLiteral("IP地址表"), QStringLiteral("可修改"), QStringLiteral("已保存")},
                      [&](const QString& line) { infos << line; });
        m.rewriteAll();
        switch (then) {
        case Then::UnlockEditSave: {
            list.unlock();
            EXPECT_EQ(m.text(), kRewrittenText); // the operator edits what the monitor last wrote
            QTextCursor end(m.memo.document());
            end.movePosition(QTextCursor::End);
            end.insertText(QStringLiteral("10.0.0.4:新站"));
            list.lockAndSave();
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(CodePage::fromGbk(file.readAll()),
                      QString(kRewrittenText + QStringLiteral("10.0.0.4:新站")).replace(u'\n', QStringLiteral("\r\n")));
            break;
        }
        case Then::SaveUnchanged:
            list.lockAndSave();
            EXPECT_FALSE(QFile::exists(path)); // the program's own rewrites never make the list write its file
            EXPECT_EQ(MemoLines::lines(&m.memo), kRewritten);
            break;
        case Then::LoadFile: {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("10.0.0.9:a\r\n10.0.0.8:b\r\n10.0.0.7:c\r\n");
            file.close();
            list.load();
            EXPECT_EQ(MemoLines::lines(&m.memo), QStringList({"10.0.0.9:a", "10.0.0.8:b", "10.0.0.7:c"}));
            m.window.show();
            EXPECT_EQ(m.text(), QStringLiteral("10.0.0.9:a\n10.0.0.8:b\n10.0.0.7:c\n"));
            break;
        }
        case Then::ForeignText:
            m.memo.setPlainText(QStringLiteral("x\ny\nz"));
            EXPECT_EQ(MemoLines::lines(&m.memo), QStringList({"x", "y", "z"}));
            m.window.show();
            EXPECT_EQ(m.text(), QStringLiteral("x\ny\nz"));
            break;
        }
    }
}
