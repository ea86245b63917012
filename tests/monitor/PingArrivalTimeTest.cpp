// What the window does while echo requests wait: it keeps handling its messages, and however long
// it keeps the cycle from reading, the round trips and timeouts are those of the network. Against
// a host in a network namespace that answers after a known delay and one that never answers, with
// the raw and the datagram socket, one address after the other and side by side.
#include "HostResponder.h"
#include "NetLabTest.h"
#include "PingCycleFakes.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpPacket.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/PingCycle.h"
#include "platform/TickClock.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using Mode = IcmpSocket::Mode;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDelay = 300;    // the answering host's round trip
constexpr int kTimeout = 1000; // the probe's receive timeout in these tests
constexpr int kHeld = 2000;    // how long the "dialog" keeps the window from the cycle

// Answers every echo request `kDelay` ms after it arrived.
void answerAfterTheDelay(int fd, const HostResponder::Request& request)
{
    std::this_thread::sleep_until(request.arrived + milliseconds(kDelay));
    HostResponder::answer(fd, request);
}

// Socket kind, and addresses at a time (1: one after the other).
class WhileTheWindowIsBusy : public NetLabTest<::testing::TestWithParam<std::tuple<Mode, int>>> {
protected:
    struct Run {
        QStringList lines;
        QStringList info;
        std::vector<double> gaps; // ms between two calls of the window's message handling
        double seconds = 0;
    };

    // One cycle from the probe namespace; `onEvents` runs in each message handling of the window.
    Run cycle(const QStringList& lines, int pingCount, const std::function<void(FakeHost&, int call)>& onEvents)
    {
        Run run;
        m_lab->runIn(NetLab::Ns::Probe, [&] {
            FakeHost host;
            host.lines = lines;
            host.settings.pingCount = pingCount;
            host.settings.parallel = std::get<1>(GetParam());
            host.settings.ignoreNormal = false; // every address writes a verdict
            AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; },
                                   [&](const QString& l) { host.addInfo(l); }};
            IcmpProbe oneByOne(TickClock::system(), std::get<0>(GetParam()));
            oneByOne.setReceiveTimeout(kTimeout);
            ParallelProbe sideBySide(TickClock::system(), std::get<0>(GetParam()));
            sideBySide.setReceiveTimeout(kTimeout);
            PingCycle pingCycle(host, oneByOne, dispatch, &sideBySide);
            int calls = 0;
            auto last = Clock::now();
            host.onProcessEvents = [&] {
                const auto now = Clock::now();
                run.gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
                onEvents(host, ++calls);
                last = Clock::now();
            };
            const auto start = Clock::now();
            pingCycle.bbPingClick();
            run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            run.lines = host.lines;
            run.info = host.info;
        });
        return run;
    }
};

std::string paramName(const ::testing::TestParamInfo<std::tuple<Mode, int>>& info)
{
    return std::string(std::get<0>(info.param) == Mode::RawOnly ? "RawSocket" : "DatagramSocket") +
           (std::get<1>(info.param) == 1 ? "OneByOne" : "SideBySide");
}

int storedRtt(const QString& line)
{
    return line.section(QLatin1Char(','), -1).toInt();
}

} // namespace

// The window is held (a message box, a nested handler) while the answer arrives and while the
// silent host's time runs out. The lines start at the network's own values, so that the average
// of the cycle shows any request that recorded more.
TEST_P(WhileTheWindowIsBusy, RoundTripsAndTimeoutsAreTheNetworks)
{
    HostResponder responder(*m_lab, answerAfterTheDelay);
    const QStringList lines{QStringLiteral("%1:慢=100%,%2").arg(QLatin1String(NetLab::kHost)).arg(kDelay),
                            QStringLiteral("%1:静=100%,%2").arg(QLatin1String(NetLab::kSilent)).arg(kTimeout)};
    // Held once for each address, in the second handling while it is the first without a verdict:
    // by then its first request is in flight (side by side, both addresses' are).
    std::vector<int> handlings(lines.size() + 1, 0);
    const Run run = cycle(lines, 2, [&](FakeHost& host, int) {
        const int current = int(host.info.size()) - 1; // after "Ping开始...", one verdict per address
        if (++handlings[current] == 2)
            std::this_thread::sleep_for(milliseconds(kHeld));
    });
    ASSERT_EQ(run.info.size(), 4) << run.info.join('\n').toStdString();
    EXPECT_GE(storedRtt(run.lines[0]), kDelay) << run.lines[0].toStdString();
    EXPECT_LE(storedRtt(run.lines[0]), kDelay + 10) << run.lines[0].toStdString();
    EXPECT_TRUE(run.lines[0].contains(QStringLiteral("=100%,"))) << run.lines[0].toStdString();
    EXPECT_EQ(run.lines[1], QStringLiteral("%1:静=0%,%2").arg(QLatin1String(NetLab::kSilent)).arg(kTimeout));
    // And the window really kept the cycle waiting.
    EXPECT_GE(run.seconds, (std::get<1>(GetParam()) == 1 ? 2 : 1) * kHeld / 1000.0);
}

// No echo request keeps the window from its messages for more than a step of the wait, and
// Cancel, handled while a request waits, stops the cycle after the address being pinged.
TEST_P(WhileTheWindowIsBusy, TheWindowIsServedInStepsAndCancelStopsAfterTheCurrentAddress)
{
    QStringList lines;
    for (int i = 1; i <= 4; ++i)
        lines << QStringLiteral("203.0.113.%1:静%1=100%,%2").arg(i).arg(kTimeout);
    const auto start = Clock::now();
    bool cancelled = false;
    const Run run = cycle(lines, 2, [&](FakeHost& host, int) {
        if (!cancelled && Clock::now() - start > milliseconds(kTimeout / 2)) {
            cancelled = true;
            host.pingEnabled = true;
        }
    });
    ASSERT_TRUE(cancelled);
    for (const double gap : run.gaps)
        EXPECT_LT(gap, IcmpProbe::kWaitStepInterval + 30.0);
    // The first address (side by side: each of those in flight) finished its two requests; no other started.
    const int finished = std::get<1>(GetParam()) == 1 ? 1 : std::min<int>(std::get<1>(GetParam()), lines.size());
    ASSERT_EQ(run.info.size(), finished + 2) << run.info.join('\n').toStdString();
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(run.lines[i].contains(QStringLiteral("=0%,%1").arg(kTimeout)), i < finished)
            << run.lines[i].toStdString();
    EXPECT_EQ(run.info.last(), QStringLiteral("T> Ping结束。"));
    EXPECT_LT(run.seconds, 2 * kTimeout / 1000.0 + 0.5);
}

INSTANTIATE_TEST_SUITE_P(Sockets, WhileTheWindowIsBusy,
                         ::testing::Combine(::testing::Values(Mode::RawOnly, Mode::DatagramOnly),
                                            ::testing::Values(1, 2)),
                         paramName);
