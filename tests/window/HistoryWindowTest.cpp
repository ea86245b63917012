// "历史曲线" on the desktop: opened from the address list's context menu for the caret line and from
// the tool bar, a window of its own that shows the graph, switches its range on a click, draws anew
// after a cycle and leaves the monitor's window to the operator.
#include "DesktopWindowFixture.h"

#include "app/HistoryControl.h"
#include "records/HistoryStore.h"

#include <QTextBlock>

namespace {

class HistoryWindowTest : public DesktopWindowFixture {
protected:
    void SetUp() override
    {
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本机\r\n127.0.0.2:甲/乙\r\n"));
    }

    // A click on the given line of the address list, which puts the caret there. The right button
    // clicks a little further along: xdotool's --sync waits for the pointer to move.
    bool clickLine(int line, int button = 1)
    {
        QPlainTextEdit* memo = window->ui().mLine;
        QTextCursor cursor(memo->document()->findBlockByNumber(line));
        const QPoint at =
            memo->viewport()->mapToGlobal(memo->cursorRect(cursor).center() + QPoint(button == 1 ? 4 : 12, 0));
        return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                        QString::number(at.y()), QStringLiteral("click"), QString::number(button)});
    }

    // Clicks the menu item in the first pop-up menu that opens, inside the menu's own event loop.
    void onPopupMenu(QAction* item)
    {
        auto* poll = new QTimer(window.get());
        poll->setInterval(50);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, item] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            const QPoint at = menu->mapToGlobal(menu->actionGeometry(item).center());
            EXPECT_TRUE(xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                                 QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")}));
        });
        poll->start();
    }

    QLabel* graph() const
    {
        HistoryWindow* w = window->history().window();
        return w ? w->findChild<QLabel*>(QStringLiteral("imgGraph")) : nullptr;
    }
    bool drawn() const { return graph() && !graph()->pixmap().isNull(); }
};

TEST_F(HistoryWindowTest, OpensForTheCaretLineShowsTheGraphAndSwitchesRanges)
{
    TfrmTarnwick& w = start();
    w.history().store().waitUntilWritten(); // the first cycle's samples are in
    ASSERT_TRUE(clickLine(1));
    onPopupMenu(w.ui().miHistory);
    ASSERT_TRUE(clickLine(1, 3));
    ASSERT_TRUE(waitFor([&] { return w.history().window() && w.history().window()->isVisible(); }, 10000))
        << "no history window";
    HistoryWindow* history = w.history().window();
    EXPECT_EQ(history->windowTitle(), QStringLiteral("历史曲线 - 127.0.0.2:甲/乙"));
    EXPECT_FALSE(history->isModal());
    ASSERT_TRUE(drawn()) << graph()->text().toStdString();
    EXPECT_GT(graph()->pixmap().width(), 600);

    // Each range button draws its own graph.
    QImage before = graph()->pixmap().toImage();
    for (const HistoryGraph::Range range : {HistoryGraph::Range::Year, HistoryGraph::Range::Hours30}) {
        auto* button = history->findChild<QToolButton*>(QStringLiteral("range") + HistoryGraph::optionName(range));
        ASSERT_TRUE(button);
        ASSERT_TRUE(click(button));
        EXPECT_TRUE(waitFor([&] { return history->range() == range; }, 5000));
        EXPECT_TRUE(button->isChecked());
        ASSERT_TRUE(drawn());
        EXPECT_NE(graph()->pixmap().toImage(), before) << HistoryGraph::optionName(range).toStdString();
        before = graph()->pixmap().toImage();
    }

    // The monitor's window stays the operator's: a cycle runs, and the graph is drawn anew after it.
    // The operator first moves the graph aside, off the buttons.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    history->move(screen.right() - history->frameGeometry().width(),
                  screen.bottom() - history->frameGeometry().height());
    for (QWidget* button : {static_cast<QWidget*>(w.ui().bbPing), static_cast<QWidget*>(w.ui().tbHistory)}) {
        ASSERT_TRUE(waitFor(
            [&] { return QApplication::widgetAt(button->mapToGlobal(button->rect().center())) == button; }, 5000))
            << button->objectName().toStdString() << " is covered";
    }
    const qint64 shown = graph()->pixmap().cacheKey();
    ASSERT_TRUE(click(w.ui().bbPing));
    EXPECT_TRUE(waitFor([&] { return graph()->pixmap().cacheKey() != shown; }, 20000)) << "not drawn anew";

    // The tool bar's button opens it for the other line, in the same window.
    ASSERT_TRUE(clickLine(0));
    ASSERT_TRUE(click(w.ui().tbHistory));
    EXPECT_TRUE(waitFor([&] { return history->windowTitle() == QStringLiteral("历史曲线 - 127.0.0.1:本机"); }, 5000))
        << history->windowTitle().toStdString();
    EXPECT_TRUE(drawn());
}

} // namespace
