#include "WindowFixture.h"

#include "alarm/AlarmDispatch.h"
#include "app/MemoLines.h"
#include "desktop/gui/TrayIcon.h"

#include <QTest>
#include <QTimer>

using MonitorWindowTest = WindowFixture;

namespace {
const QString kCancelled = QStringLiteral("参数初始化成功！");
}

TEST_F(MonitorWindowTest, CancelDuringACycleStopsItAfterTheCurrentAddress)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n127.0.0.2:b\r\n127.0.0.3:c\r\n"));
    TfrmTarnwick& w = start();
    probe.hosts.clear();
    probe.duringPing = [&] {
        if (probe.hosts.size() == 2) // the second echo request to the first address
            w.ui().bbCanc->click();
    };
    w.bbPingClick();
    EXPECT_EQ(probe.hosts, QStringList(4, QStringLiteral("127.0.0.1"))); // the first address is finished
    EXPECT_TRUE(paneLines().last().endsWith(QStringLiteral("Ping结束。")));
    EXPECT_TRUE(w.ui().bbPing->isEnabled());
    EXPECT_TRUE(w.tDisp().isActive());
}

TEST_F(MonitorWindowTest, CancelWithAnAlarmClearsItAndTheCycleGoesOn)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n127.0.0.2:b\r\n"));
    probe.answers = [](const QString& host) { return host != QStringLiteral("127.0.0.1"); };
    TfrmTarnwick& w = start();
    EXPECT_EQ(w.alarmCode(), 1); // the first cycle found 127.0.0.1 unreachable
    const QString verdict = QStringLiteral("127.0.0.1:a网络不通！！！地址不可用或没有连接！ 网络质量：0%,平均RTT：0ms");
    const QStringList lines = paneLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.size() == 23 + verdict.size() && line.endsWith(verdict);
    }));
    w.ui().cbSD->setChecked(true); // Cancel clears an alarm only while an alarm channel is on
    probe.hosts.clear();
    probe.duringPing = [&] {
        if (probe.hosts.size() == 5) // the first address has raised its alarm again
            w.ui().bbCanc->click();
    };
    w.bbPingClick();
    EXPECT_EQ(probe.hosts.size(), 8);            // the cycle went on to the second address
    EXPECT_EQ(paneLines().count(kCancelled), 2); // once at the cycle's start, once by Cancel
    EXPECT_EQ(w.alarmCode(), 0);
}

TEST_F(MonitorWindowTest, CancelWhenIdleClosesTheWindowAndEscPressesIt)
{
    TfrmTarnwick& w = start();
    QTest::keyClick(&w, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(w.isMinimized() || w.isHidden());
    EXPECT_FALSE(w.terminationRequested());
}

TEST_F(MonitorWindowTest, ACycleStartedWhilePausedSwitchesTheCountdownOn)
{
    TfrmTarnwick& w = start();
    EXPECT_TRUE(w.tDisp().isActive());
    QTest::mouseClick(w.ui().lMin, Qt::LeftButton);
    EXPECT_FALSE(w.tDisp().isActive());
    EXPECT_EQ(w.ui().GroupBox9->title(), QStringLiteral("下次检测剩余时间：暂停"));
    w.bbPingClick();
    EXPECT_TRUE(w.tDisp().isActive());
    EXPECT_EQ(w.ui().GroupBox9->title(), QStringLiteral("下次检测剩余时间："));
}

TEST_F(MonitorWindowTest, TheCountdownShowsTheTimeLeftAndStartsTheCycleWhenItRunsOut)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n"));
    TfrmTarnwick& w = start();
    w.lMinClick(); // paused: only the ticks this test gives count
    w.ui().sePingInterval->setValue(1);
    probe.hosts.clear();
    w.tDispTimer();
    EXPECT_EQ(w.ui().lMin->text(), QStringLiteral("00:01"));
    const QColor first = w.ui().lMin->palette().color(QPalette::WindowText);
    w.tDispTimer();
    EXPECT_NE(w.ui().lMin->palette().color(QPalette::WindowText), first); // red and blue in turn
    for (int tick = 3; tick <= 59; ++tick)
        w.tDispTimer();
    QApplication::processEvents();
    EXPECT_TRUE(probe.hosts.isEmpty());
    w.tDispTimer(); // tick 60 runs out for an interval of one minute
    EXPECT_EQ(w.ui().lMin->text(), QStringLiteral("00:00"));
    QApplication::processEvents();
    EXPECT_EQ(probe.hosts.size(), 4);
}

TEST_F(MonitorWindowTest, TheTrayIconBlinksWhileAnAlarmIsCurrent)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n"));
    probe.answers = [](const QString&) { return false; };
    TfrmTarnwick& w = start();
    ASSERT_GT(w.alarmCode(), 0);
    w.tDispTimer();
    const bool first = w.tray().showsNormalIcon();
    w.tDispTimer();
    EXPECT_NE(w.tray().showsNormalIcon(), first);
    w.dispatch().setCurrentCode(0);
    w.tDispTimer();
    EXPECT_TRUE(w.tray().showsNormalIcon());
}

// The exit command ends the event loop however the window stands, also when chosen while an echo
// request waits; the cycle then sends nothing more.
TEST_F(MonitorWindowTest, TheExitCommandEndsTheEventLoopInOrder)
{
    enum class Stand { Shown, Minimised, Hidden };
    struct Row {
        Stand stand;
        bool duringRequest;
    };
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("a:1\r\nb:2\r\n"));
    const auto logs = [&] { return QDir(dir.path()).entryList({QStringLiteral("log*.txt")}); };
    for (const Row row :
         {Row{Stand::Shown, false}, Row{Stand::Minimised, false}, Row{Stand::Hidden, false}, Row{Stand::Shown, true}}) {
        for (const QString& log : logs())
            QFile::remove(path(log));
        TfrmTarnwick& w = start();
        if (row.stand == Stand::Minimised)
            w.showMinimized();
        else if (row.stand == Stand::Hidden)
            w.hide();
        QAction* exit = w.tray().menu()->findChild<QAction*>(QStringLiteral("N1"));
        ASSERT_NE(exit, nullptr);
        probe.hosts.clear();
        if (row.duringRequest) {
            probe.duringPing = [&] {
                probe.duringPing = nullptr;
                exit->trigger();
            };
            QTimer::singleShot(0, &w, &TfrmTarnwick::bbPingClick);
        } else {
            QTimer::singleShot(0, exit, &QAction::trigger);
        }
        bool stuck = false;
        QTimer::singleShot(3000, &w, [&] {
            stuck = true;
            QCoreApplication::exit(1);
        });
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(stuck) << "the event loop ran on after the exit command";
        EXPECT_TRUE(w.terminationRequested());
        EXPECT_EQ(probe.hosts, row.duringRequest ? QStringList{QStringLiteral("a")} : QStringList());
        w.FormDestroy();
        EXPECT_EQ(logs().size(), 1);
        window.reset();
    }
}

TEST_F(MonitorWindowTest, ACycleLimitEndsTheMonitorAfterThatManyCycles)
{
    AppContext context;
    context.dataDir = dir.path();
    context.prompter = &prompter;
    context.probe = &probe;
    context.autostartLocation = path(QStringLiteral("autostart"));
    TfrmTarnwick w(context);
    w.setCycleLimit(1);
    w.FormCreate();
    EXPECT_TRUE(w.terminationRequested());
    EXPECT_FALSE(w.tDisp().isActive());
    // The end was asked for with no event loop running, which leaves every later event loop of this
    // process returning at once; an application loop that runs and ends clears that for the tests after.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(MonitorWindowTest, StartAtLoginWritesTheEntryAndReportsAFailure)
{
    TfrmTarnwick& w = start();
    w.ui().CheckBox3->click();
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("AutoRun")), QStringLiteral("1"));
    const QStringList entries = QDir(path(QStringLiteral("autostart"))).entryList({QStringLiteral("*.desktop")});
    ASSERT_EQ(entries.size(), 1);
    QFile entry(path(QStringLiteral("autostart/") + entries[0]));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(QStringLiteral("--data-dir \"%1\"\n").arg(dir.path()).toUtf8()));
    w.ui().CheckBox3->click(); // cleared: stored, and the entry stays
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("AutoRun")), QStringLiteral("0"));
    EXPECT_EQ(QDir(path(QStringLiteral("autostart"))).entryList({QStringLiteral("*.desktop")}).size(), 1);

    QDir(path(QStringLiteral("autostart"))).removeRecursively();
    writeFile(QStringLiteral("autostart"), "a file where the folder should be");
    w.pane().setReportShown(true);
    w.ui().CheckBox3->click();
    const QStringList lines = paneLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("访问注册表时出错！"));
    // Then the entry and the system's reason, so that the operator knows what to mend.
    const QString entryLine =
        QStringLiteral("无法写入%1/%2.desktop：")
            .arg(path(QStringLiteral("autostart")), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_TRUE(lines.last().startsWith(entryLine)) << lines.last().toStdString();
    EXPECT_GT(lines.last().size(), entryLine.size());
    EXPECT_TRUE(w.pane().reportShown()); // the line goes in underneath a shown report
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("AutoRun")), QStringLiteral("1"));
}

TEST_F(MonitorWindowTest, TheUsageTextOfThePageOnDisplayGoesIntoThePane)
{
    TfrmTarnwick& w = start();
    w.ui().PageControl1->setCurrentIndex(4);
    w.pane().setReportShown(true);
    const qsizetype before = w.pane().info().count();
    QTest::mouseClick(w.ui().Label8, Qt::LeftButton);
    EXPECT_TRUE(w.pane().reportShown()); // the text lands underneath a shown report
    const QStringList lines = paneLines().mid(before);
    ASSERT_EQ(lines.size(), 1 + 17);
    EXPECT_EQ(lines.first(), QStringLiteral("使用说明 [网络报警设置]"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("网络报警设置模块：")));
    EXPECT_EQ(lines.last(), QString(7, u' '));
}

TEST_F(MonitorWindowTest, AReportOfTheCaretLinesAddressIsShownAndSaved)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n127.0.0.2:b\r\n"));
    writeGbk(QStringLiteral("log20200101000000.txt"),
             QStringLiteral("2020-01-01 00:00:00 -> 127.0.0.2:b网络有丢包！！！\r\nother\r\n"));
    TfrmTarnwick& w = start();
    w.ui().mLine->setTextCursor(QTextCursor(w.ui().mLine->document()->findBlockByNumber(1)));
    w.ToolButton9Click(); // today: the old file is not in the period
    EXPECT_FALSE(w.pane().reportShown());
    EXPECT_EQ(w.pane().report().count(), 0);
    w.ui().MenuItem1->trigger(); // history
    EXPECT_TRUE(w.pane().reportShown());
    EXPECT_EQ(w.ui().panes->currentWidget(), w.ui().mRep);
    EXPECT_EQ(w.pane().report().lines(),
              QStringList{QStringLiteral("2020-01-01 00:00:00 -> 127.0.0.2:b网络有丢包！！！")});
    w.tbSaveClearClick();
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("rep127.0.0.2*.txt")}).size(), 1);
    w.bbPingClick(); // a cycle hides the report again
    EXPECT_FALSE(w.pane().reportShown());
}

TEST_F(MonitorWindowTest, ThePingButtonKeepsTheFocusAcrossCyclesAndEnterPressesTheFocusedButton)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n"));
    TfrmTarnwick& w = start();
    EXPECT_EQ(QApplication::focusWidget(), w.ui().bbPing);
    probe.hosts.clear();
    QTest::keyClick(w.ui().bbPing, Qt::Key_Return);
    EXPECT_EQ(probe.hosts.size(), 4);
    EXPECT_EQ(QApplication::focusWidget(), w.ui().bbPing);

    // Enter on the focused Cancel button is Cancel, not Ping.
    w.ui().bbCanc->setFocus();
    probe.hosts.clear();
    QTest::keyClick(w.ui().bbCanc, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(probe.hosts.isEmpty());
    EXPECT_TRUE(w.isMinimized() || w.isHidden());
}

TEST_F(MonitorWindowTest, ALockedListKeepsNoUndoHistoryAndItsCaretMovesWithTheKeys)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n127.0.0.2:b\r\n127.0.0.3:c\r\n"));
    TfrmTarnwick& w = start();
    for (int i = 0; i < 3; ++i)
        w.bbPingClick();
    EXPECT_EQ(w.ui().mLine->document()->availableUndoSteps(), 0);
    w.ui().mLine->setFocus();
    w.ui().mLine->moveCursor(QTextCursor::Start);
    QTest::keyClick(w.ui().mLine, Qt::Key_Down);
    QTest::keyClick(w.ui().mLine, Qt::Key_Down);
    EXPECT_TRUE(w.caretLineText().startsWith(QStringLiteral("127.0.0.3:c=")));
}

TEST_F(MonitorWindowTest, AddressesProbedSideBySideAreReportedInListOrder)
{
    writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[PingPara]\r\nParallel=1000\r\nIgNormal=0\r\n"));
    QString list;
    for (int i = 1; i <= 6; ++i)
        list += QStringLiteral("127.0.0.%1:站%1\r\n").arg(i);
    writeGbk(QStringLiteral("Ip.txt"), list);
    realProbe = true;
    TfrmTarnwick& w = start(); // the first cycle runs with the stored count, held to the field's range
    QSpinBox* field = w.ui().seParallel;
    EXPECT_EQ(field->property("hint").toString(), QStringLiteral("PingPara,Parallel"));
    EXPECT_EQ(field->value(), 256);
    EXPECT_EQ(field->minimum(), 1);

    field->setValue(3);
    enter(field);
    leave();
    EXPECT_EQ(setting(QStringLiteral("PingPara"), QStringLiteral("Parallel")), QStringLiteral("3"));
    w.bbPingClick();
    QStringList verdicts;
    for (const QString& line : paneLines()) {
        if (line.contains(QStringLiteral("网络")))
            verdicts << line.mid(line.indexOf(QStringLiteral("-> ")) + 3).section(QStringLiteral("网络"), 0, 0);
    }
    ASSERT_EQ(verdicts.size(), 12) << verdicts.join('\n').toStdString(); // two cycles of six
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(verdicts[i], QStringLiteral("127.0.0.%1:站%1").arg(i % 6 + 1));
}

TEST_F(MonitorWindowTest, TheCaretLineOfASelectionDraggedDownIsTheLineItStartsOn)
{
    writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:a\r\n127.0.0.2:b\r\n127.0.0.3:c\r\n"));
    TfrmTarnwick& w = start();
    QPlainTextEdit* memo = w.ui().mLine;
    const auto pointOnLine = [memo](int line) {
        QTextCursor at(memo->document()->findBlockByNumber(line));
        at.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
        return memo->cursorRect(at).center();
    };
    QTest::mousePress(memo->viewport(), Qt::LeftButton, {}, pointOnLine(0));
    QTest::mouseMove(memo->viewport(), pointOnLine(1));
    QTest::mouseMove(memo->viewport(), pointOnLine(2));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, {}, pointOnLine(2));
    ASSERT_EQ(memo->textCursor().blockNumber(), 2); // the drag did reach the third line
    EXPECT_TRUE(w.caretLineText().startsWith(QStringLiteral("127.0.0.1:a="))) << w.caretLineText().toStdString();
}

TEST_F(MonitorWindowTest, EveryLineOfTheInformationPaneCanBeReadWhole)
{
    TfrmTarnwick& w = start();
    ASSERT_TRUE(w.isVisible());
    const QString longLine = QStringLiteral("2026-12-07 14:30:05 -> ") +
                             QStringLiteral("10.0.0.1:机房交换机").repeated(8) +
                             QStringLiteral("网络有丢包！！！网络质量：75%,平均RTT：1016ms");
    w.AddInfo(QStringLiteral("短"));
    w.AddInfo(longLine);
    w.AddInfo(QStringLiteral("短"));
    QListView* pane = w.ui().mInfor;
    pane->scrollToBottom();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();

    const QModelIndex row = pane->model()->index(pane->model()->rowCount() - 2, 0);
    ASSERT_EQ(row.data().toString(), longLine);
    QStyleOptionViewItem option;
    option.initFrom(pane);
    option.widget = pane;
    const int needed = QStyledItemDelegate().sizeHint(option, row).width(); // the text and its margins
    ASSERT_GT(needed, pane->viewport()->width());
    EXPECT_GE(pane->visualRect(row).width(), needed);
    QScrollBar* bar = pane->horizontalScrollBar();
    EXPECT_GE(bar->maximum() + pane->viewport()->width(), needed);

    // Emptied by save and clear, the rows narrow to the lines that follow.
    w.tbSaveClearClick();
    w.AddInfo(QStringLiteral("短"));
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 0);
}
