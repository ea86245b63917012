// The window during a ping cycle of hosts that never answer: an operator's page switch, key press
// and Cancel, sent through the X server while an echo request waits, take effect at once.
#include "DesktopWindowFixture.h"
#include "NetLab.h"
#include "NetNamespaces.h"

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

class WindowDuringCycleTest : public DesktopWindowFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        const std::string why = NetLab::unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        m_lab.emplace();
        // Start-up pings the list before the test's hosts are in it; one request per address.
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本机\r\n"));
        writeGbk(QStringLiteral("Para.ini"),
                 QStringLiteral("[PingPara]\r\nPingCount=1\r\nParallel=%1\r\nIgNormal=1\r\n").arg(GetParam()));
    }

    std::optional<NetLab> m_lab;
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

    Moment cycleStarted, pageSwitched, keyTyped, pageSwitchedBack, pingEnabled;
    QObject::connect(ui.PageControl1, &QTabWidget::currentChanged,
                     [&](int index) { (index == 3 ? pageSwitched : pageSwitchedBack).mark(); });
    QObject::connect(ui.edtSendSrv, &QLineEdit::textChanged, [&] { keyTyped.mark(); });
    EnabledWatch watch(ui.bbPing, [&] {
        if (cycleStarted.seen)
            pingEnabled.mark();
    });
    QStringList paneAtCancel;

    // The operator, on a thread of their own so that the window's thread only runs the cycle.
    std::thread hands;
    {
        NetNamespaces::ThreadInNamespace inLab(m_lab->name(NetLab::Ns::Probe));
        ASSERT_TRUE(inLab.entered());
        hands = std::thread([&] {
            if (!cycleStarted.waitFor(10000))
                return;
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
            const auto cancelSent = clickAt(cancel);
            if (pingEnabled.waitFor(6000)) {
                EXPECT_LT(msBetween(cancelSent, pingEnabled.at), kPromptMs);
            } else {
                ADD_FAILURE() << "Cancel never enabled Ping";
            }
        });
        QTimer::singleShot(0, ui.bbPing, [&] {
            cycleStarted.mark();
            ui.bbPing->click();
        });
        EXPECT_TRUE(waitFor(
            [&] { return cycleStarted.seen && w.pane().info().lines().last().endsWith(QStringLiteral("Ping结束。")); },
            30000));
    }
    hands.join();

    // The addresses in flight when Cancel came got their verdicts; no later one was pinged.
    const QString pane = w.pane().info().lines().join(QLatin1Char('\n'));
    const int inFlight = GetParam();
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(pane.contains(QStringLiteral("203.0.113.%1:静%1网络不通").arg(i)), i <= inFlight)
            << pane.toStdString();
    EXPECT_TRUE(pane.endsWith(QStringLiteral("Ping结束。"))) << pane.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Addresses, WindowDuringCycleTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("OneAfterTheOther") : std::string("SideBySide");
                         });
