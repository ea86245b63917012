// One whole ping cycle over 1,000 addresses of 127.0.0.0/8 with four echo requests each, through the
// real probe, with the message loop handled around every request as in the window: wall time, CPU
// time and peak memory. Sends only to loopback; bounded in count.
#include "FakeHost.h"
#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpProbe.h"
#include "monitor/PingCycle.h"
#include "monitor/PingCycleHost.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kAddresses = 1000;

double cpuSeconds(const rusage& u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    FakeHost host;
    host.onProcessEvents = [] { QCoreApplication::processEvents(); };
    for (int i = 0; i < kAddresses; ++i)
        host.lines << QStringLiteral("127.0.%1.%2:站点%3=100%").arg(i / 250).arg(i % 250 + 1).arg(i);
    IcmpProbe probe;
    AlarmDispatch dispatch([] { return AlarmDispatch::Switches{}; }, nullptr);
    PingCycle cycle(host, probe, dispatch);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    cycle.bbPingClick();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    if (!probe.lastSocketKind())
        std::printf("no ICMP socket could be opened (needs CAP_NET_RAW or net.ipv4.ping_group_range)\n");
    int healthy = 0;
    for (const QString& line : host.lines)
        healthy += line.contains(QStringLiteral("=100%,")) ? 1 : 0;
    std::printf("ping cycle: %d addresses x 4 echo requests on loopback: %.3f s wall (goal: under 2 s), "
                "%.3f s CPU, peak memory %ld KiB; %d lines at quality 100, %lld information lines\n",
                kAddresses, wall, cpuSeconds(after) - cpuSeconds(before), after.ru_maxrss, healthy,
                static_cast<long long>(host.info.size()));
    return 0;
}
