// The window during a ping cycle: an operator's page switch, key press, tray click and Cancel, sent
// through the X server while an echo request waits, take effect at once; message boxes held open
// during the cycle leave the round trips and timeouts to the network.
#include "DesktopWindowFixture.h"
#include "HostResponder.h"
#include "NetLabTest.h"
#include "NetNamespaces.h"

#include "desktop/gui/TrayIcon.h"

#include "records/InfoPane.h"
#include "records/LineStore.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kPromptMs = 200; // from the input event to its effect

// Records when something happened on the window's thread, for the operator's thread to read.
struct Moment {
    std::atomic<bool> seen{false};
    Clock::time_point at;
    void mark()
    {
        if (seen)
            return;
        at = Clock::now();
        seen = true;
    }
    bool waitFor(int ms) const
    {
        const auto until = Clock::now() + milliseconds(ms);
        while (!seen && Clock::now() < until)
            std::this_thread::sleep_for(milliseconds(5));
        return seen;
    }
};

// Calls back when a widget is enabled.
class EnabledWatch : public QObject {
public:
    EnabledWatch(QWidget* widget, std::function<void()> onEnabled)
        : m_widget(widget)
        , m_onEnabled(std::move(onEnabled))
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::EnabledChange && m_widget->isEnabled())
            m_onEnabled();
        return false;
    }

private:
    QWidget* m_widget;
    std::function<void()> m_onEnabled;
};

class WindowDuringCycleTest : public NetLabTest<DesktopWindowFixture>, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        NetLabTest::SetUp();
        if (IsSkipped())
            return;
        // Start-up pings the list before the test's hosts are in it; one request per address.
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本机\r\n"));
        writeGbk(QStringLiteral("Para.ini"),
                 QStringLiteral("[PingPara]\r\nPingCount=1\r\nParallel=%1\r\nIgNormal=1\r\n").arg(GetParam()));
    }

    // Clicks "Ping" and runs the cycle from the lab's probe namespace while the operator's hands act on
    // a thread of their own, so that the window's thread only runs the cycle. The hands get the moment
    // the cycle started; this returns once the cycle has ended and the hands are done.
    void runCycleWith(TfrmTarnwick& w, const std::function<void(Clock::time_point started)>& hands)
    {
        Moment started;
        std::thread operatorThread;
        {
            NetNamespaces::ThreadInNamespace inLab(m_lab->name(NetLab::Ns::Probe));
            ASSERT_TRUE(inLab.entered());
            operatorThread = std::thread([&] {
                if (started.waitFor(10000))
                    hands(started.at);
            });
            QTimer::singleShot(0, w.ui().bbPing, [&] {
                started.mark();
                w.ui().bbPing->click();
            });
            EXPECT_TRUE(waitFor(
                [&] { return started.seen && w.pane().info().lines().last().endsWith(QStringLiteral("Ping结束。")); },
                60000));
        }
        operatorThread.join();
    }
};

QPoint centreOf(QWidget* widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

// xdotool from the operator's thread, which waits for it; the moment it has sent the event.
Clock::time_point send(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& a : arguments)
        quoted << QLatin1Char('\'') + a + QLatin1Char('\'');
    const int status = std::system(("xdotool " + quoted.join(QLatin1Char(' '))).toLocal8Bit().constData());
    EXPECT_EQ(status, 0) << arguments.join(QLatin1Char(' ')).toStdString();
    return Clock::now();
}

Clock::time_point clickAt(QPoint at)
{
    return send({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                 QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int storedRtt(const QString& line)
{
    return line.section(QLatin1Char(','), -1).toInt();
}

} // namespace

TEST_P(WindowDuringCycleTest, PageSwitchKeyPressAndCancelAreHandledWhileSilentHostsArePinged)
{
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    ui.mLine->setPlainText(QStringLiteral("203.0.113.1:静1\n203.0.113.2:静2\n203.0.113.3:静3\n203.0.113.4:静4"));
    ui.PageControl1->setCurrentWidget(ui.TabSheet1);
    auto tabAt = [&](int index) {
        QTabBar* bar = ui.PageControl1->tabBar();
        return bar->mapToGlobal(bar->tabRect(index).center());
    };
    const QPoint pingTab = tabAt(0);
    const QPoint mailTab = tabAt(3);
    const QPoint field = centreOf(ui.edtSendSrv);
    const QPoint cancel = centreOf(ui.bbCanc);

    Moment pageSwitched, keyTyped, pageSwitchedBack, cancelSent, pingEnabled;
    QObject::connect(ui.PageControl1, &QTabWidget::currentChanged,
                     [&](int index) { (index == 3 ? pageSwitched : pageSwitchedBack).mark(); });
    QObject::connect(ui.edtSendSrv, &QLineEdit::textChanged, [&] { keyTyped.mark(); });
    EnabledWatch watch(ui.bbPing, [&] {
        if (cancelSent.seen)
            pingEnabled.mark();
    });

    runCycleWith(w, [&](Clock::time_point) {
        std::this_thread::sleep_for(milliseconds(300)); // the first request is in flight
        const auto pageSent = clickAt(mailTab);
        if (pageSwitched.waitFor(6000)) {
            EXPECT_LT(msBetween(pageSent, pageSwitched.at), kPromptMs);
        } else {
            ADD_FAILURE() << "the page never switched";
        }
        clickAt(field);
        std::this_thread::sleep_for(milliseconds(100));
        const auto keySent = send({QStringLiteral("key"), QStringLiteral("7")});
        if (keyTyped.waitFor(6000)) {
            EXPECT_LT(msBetween(keySent, keyTyped.at), kPromptMs);
        } else {
            ADD_FAILURE() << "the key never reached the field";
        }
        // Cancel is on the ping page.
        clickAt(pingTab);
        if (!pageSwitchedBack.waitFor(6000))
            ADD_FAILURE() << "the ping page never came back";
        cancelSent.mark();
        const auto cancelClicked = clickAt(cancel);
        if (pingEnabled.waitFor(6000)) {
            EXPECT_LT(msBetween(cancelClicked, pingEnabled.at), kPromptMs);
        } else {
            ADD_FAILURE() << "Cancel never enabled Ping";
        }
    });

    // The addresses in flight when Cancel came got their verdicts; no later one was pinged.
    const QString pane = w.pane().info().lines().join(QLatin1Char('\n'));
    const int inFlight = GetParam();
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(pane.contains(QStringLiteral("203.0.113.%1:静%1网络不通").arg(i)), i <= inFlight)
            << pane.toStdString();
    EXPECT_TRUE(pane.endsWith(QStringLiteral("Ping结束。"))) << pane.toStdString();
}

// A right click on the tray entry while a silent host is pinged opens the entry's menu at once, and
// Escape closes it with nothing chosen.
TEST_P(WindowDuringCycleTest, TheTrayMenuOpensAtOnceWhileSilentHostsArePinged)
{
    TfrmTarnwick& w = start();
    ASSERT_TRUE(
        waitFor([&] { return w.tray().isAvailable() && !w.tray().systemTrayIcon()->geometry().isEmpty(); }, 10000))
        << "the notification area gave the entry no place";
    const QPoint icon = w.tray().systemTrayIcon()->geometry().center();
    w.ui().mLine->setPlainText(QStringLiteral("203.0.113.1:静1\n203.0.113.2:静2"));

    Moment menuShown, menuHidden;
    QObject::connect(w.tray().menu(), &QMenu::aboutToShow, [&] { menuShown.mark(); });
    QObject::connect(w.tray().menu(), &QMenu::aboutToHide, [&] { menuHidden.mark(); });
    runCycleWith(w, [&](Clock::time_point) {
        std::this_thread::sleep_for(milliseconds(300)); // the first request is in flight
        // The pointer comes from elsewhere, as an operator's does (it may rest on the entry since a
        // test before).
        send({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("640"), QStringLiteral("600")});
        const auto clickSent = send({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(icon.x()),
                                     QString::number(icon.y()), QStringLiteral("click"), QStringLiteral("3")});
        if (menuShown.waitFor(6000)) {
            EXPECT_LT(msBetween(clickSent, menuShown.at), kPromptMs);
        } else {
            ADD_FAILURE() << "the tray menu never opened";
        }
        send({QStringLiteral("key"), QStringLiteral("Escape")});
        EXPECT_TRUE(menuHidden.waitFor(6000)) << "Escape did not close the tray menu";
    });
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.pane().info().lines().join(QLatin1Char('\n')).contains(QStringLiteral("203.0.113.2:静2网络不通")));
}

// Two message boxes, each held open for 3 s by the operator: the first while a host's answer comes
// in (it answers 300 ms after each request), the second across the silent host's 5 s deadline.
// What the cycle records is what the network gave.
TEST_P(WindowDuringCycleTest, MessageBoxesHeldOpenLeaveRoundTripsAndTimeoutsToTheNetwork)
{
    static constexpr int kDelay = 300;
    static constexpr int kHeldMs = 3000;
    HostResponder responder(*m_lab, [](int fd, const HostResponder::Request& request) {
        std::this_thread::sleep_until(request.arrived + milliseconds(kDelay));
        HostResponder::answer(fd, request);
    });
    TfrmTarnwick& w = start();
    const QString host = QLatin1String(NetLab::kHost);
    const QString silent = QLatin1String(NetLab::kSilent);
    // The lines start at the network's own values, so that any request recorded longer shows.
    w.ui().mLine->setPlainText(QStringLiteral("%1:慢=100%,%2\n%3:静=100%,5000").arg(host).arg(kDelay).arg(silent));

    struct Box {
        Moment shown, closed;
        std::atomic<WId> id{0};
    } boxes[2];
    // On the window's thread, from inside the cycle: a box of the window's own, as its errors are.
    auto openBox = [&](Box& box) {
        QTimer::singleShot(100, &w, [&box] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                box.id = modal->winId();
                box.shown.mark();
            }
        });
        prompter.message(QStringLiteral("测试"), QStringLiteral("请稍候"), Prompter::Icon::Information);
        box.closed.mark();
    };
    runCycleWith(w, [&](Clock::time_point started) {
        auto holdAndClose = [&](Box& box) {
            if (!box.shown.waitFor(3000)) {
                ADD_FAILURE() << "the message box never showed";
                return;
            }
            std::this_thread::sleep_until(box.shown.at + milliseconds(kHeldMs));
            send({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(box.id)});
            send({QStringLiteral("key"), QStringLiteral("Return")});
            EXPECT_TRUE(box.closed.waitFor(3000)) << "Return did not close the message box";
        };
        std::this_thread::sleep_for(milliseconds(100)); // the host's request is in flight
        QMetaObject::invokeMethod(
            &w, [&] { openBox(boxes[0]); }, Qt::QueuedConnection);
        holdAndClose(boxes[0]);
        // The silent host's request went out with the first (side by side) or once the first box
        // let the host's verdict be written (one after the other).
        const auto silentSent = GetParam() == 1 ? boxes[0].closed.at : started;
        std::this_thread::sleep_until(silentSent + milliseconds(3500));
        QMetaObject::invokeMethod(
            &w, [&] { openBox(boxes[1]); }, Qt::QueuedConnection);
        holdAndClose(boxes[1]);
    });
    for (const Box& box : boxes)
        EXPECT_GE(msBetween(box.shown.at, box.closed.at), kHeldMs);

    const QStringList lines = w.ui().mLine->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(host + QStringLiteral(":慢=100%,"))) << lines[0].toStdString();
    EXPECT_GE(storedRtt(lines[0]), kDelay) << lines[0].toStdString();
    EXPECT_LE(storedRtt(lines[0]), kDelay + 10) << lines[0].toStdString();
    EXPECT_EQ(lines[1], silent + QStringLiteral(":静=0%,5000"));
    const QString pane = w.pane().info().lines().join(QLatin1Char('\n'));
    EXPECT_FALSE(pane.contains(QStringLiteral("过大"))) << pane.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Addresses, WindowDuringCycleTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("OneAfterTheOther") : std::string("SideBySide");
                         });
