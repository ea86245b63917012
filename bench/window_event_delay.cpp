// How long the window's events wait during a ping cycle of 20 hosts that never answer, one address
// after the other and side by side: a 10 ms timer runs on the cycle's thread, and every firing
// later than due is a delay an operator would feel. Reports the 50th and 99th percentile and the
// largest delay. Runs in network namespaces of its own and needs root; the receive timeout is
// shortened to 500 ms and two requests go to each host, so that the run stays short.
#include "FakeHost.h"
#include "NetLab.h"
#include "NetNamespaces.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/PingCycle.h"
#include "monitor/PingCycleHost.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kHosts = 20;
constexpr int kTick = 10;

void measure(const NetLab& lab, int parallel)
{
    FakeHost host;
    host.onProcessEvents = [] { QCoreApplication::processEvents(); };
    for (int i = 1; i <= kHosts; ++i)
        host.lines << QStringLiteral("203.0.113.%1:静%1").arg(i);
    host.settings.pingCount = 2;
    host.settings.parallel = parallel;
    AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; }, [](const QString&) {}};

    NetNamespaces::ThreadInNamespace inLab(lab.name(NetLab::Ns::Probe));
    if (!inLab.entered()) {
        std::printf("window_event_delay: cannot enter the network lab\n");
        return;
    }
    IcmpProbe oneByOne;
    oneByOne.setReceiveTimeout(500);
    ParallelProbe sideBySide;
    sideBySide.setReceiveTimeout(500);
    PingCycle cycle(host, oneByOne, dispatch, &sideBySide);

    std::vector<double> delays;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kTick);
    auto last = Clock::now();
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        delays.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - last).count() - kTick));
        last = now;
    });
    timer.start();
    const auto start = Clock::now();
    cycle.bbPingClick();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    timer.stop();

    std::sort(delays.begin(), delays.end());
    auto at = [&](double p) { return delays.empty() ? 0.0 : delays[std::size_t(p * double(delays.size() - 1))]; };
    std::printf("window_event_delay: %-18s %2d silent hosts x 2 requests in %5.1f s: %zu ticks, delay p50 %.1f ms, "
                "p99 %.1f ms, max %.1f ms\n",
                parallel == 1 ? "one after another" : "side by side", kHosts, seconds, delays.size(), at(0.5), at(0.99),
                delays.empty() ? 0.0 : delays.back());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const std::string why = NetLab::unavailableReason();
    if (!why.empty()) {
        std::printf("window_event_delay: not measured: %s\n", why.c_str());
        return 0;
    }
    NetLab lab;
    measure(lab, 1);
    measure(lab, kHosts);
    return 0;
}
