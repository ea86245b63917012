// One ping cycle over 1,000 addresses of which 100 are silent, four echo requests each, 128
// addresses side by side, beside fping on the same list in the same run (fping -C 4 -t 5000 -p 5000:
// each host's requests one after the other, 5 s apart, every host at once). Runs in network
// namespaces of its own and needs root. The documentation ranges hold too few addresses for 900
// answering hosts, so each of 450 answering addresses is listed twice.
#include "FakeHost.h"
#include "NetLab.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/PingCycle.h"
#include "monitor/PingCycleHost.h"

#include <QFile>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

bool sh(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main()
{
    const std::string why = NetLab::unavailableReason();
    if (!why.empty() || !sh("command -v fping >/dev/null")) {
        std::printf("skipped: %s\n", why.empty() ? "fping is not installed" : why.c_str());
        return 0;
    }
    NetLab lab;
    const std::string router = lab.name(NetLab::Ns::Router);
    const std::string host = lab.name(NetLab::Ns::Host);

    // Answering: the router owns 198.51.100.1-254 and 192.0.2.2-197. Silent: 203.0.113.0/26 goes
    // nowhere, and 203.0.113.131-166 belong to the host, whose kernel does not answer.
    QStringList answering, silent;
    std::string batch;
    for (int i = 1; i <= 254; ++i)
        answering << QStringLiteral("198.51.100.%1").arg(i);
    for (int i = 2; i <= 197; ++i)
        answering << QStringLiteral("192.0.2.%1").arg(i);
    for (const QString& a : answering)
        batch += "addr add " + a.toStdString() + "/32 dev lo\n";
    std::string hostBatch;
    for (int i = 0; i < 64; ++i)
        silent << QStringLiteral("203.0.113.%1").arg(i);
    for (int i = 131; i <= 166; ++i) {
        silent << QStringLiteral("203.0.113.%1").arg(i);
        hostBatch += "addr add 203.0.113." + std::to_string(i) + "/26 dev h0\n";
    }
    {
        QFile f(QStringLiteral("/tmp/tw-bench-router.batch"));
        f.open(QIODevice::WriteOnly);
        f.write(batch.c_str());
        QFile g(QStringLiteral("/tmp/tw-bench-host.batch"));
        g.open(QIODevice::WriteOnly);
        g.write(hostBatch.c_str());
    }
    if (!sh("ip -n " + router + " -batch /tmp/tw-bench-router.batch") ||
        !sh("ip -n " + host + " -batch /tmp/tw-bench-host.batch")) {
        std::printf("the namespaces could not be given their addresses\n");
        return 1;
    }

    // 1,000 lines, a silent one every tenth.
    QStringList list;
    QByteArray targets;
    for (int i = 0; i < 1000; ++i) {
        const QString address = i % 10 == 9 ? silent[i / 10] : answering[(i - i / 10) % answering.size()];
        list << address + QStringLiteral(":站%1").arg(i);
        targets += address.toLatin1() + '\n';
    }
    {
        QFile f(QStringLiteral("/tmp/tw-bench-targets.txt"));
        f.open(QIODevice::WriteOnly);
        f.write(targets);
    }

    double ours = 0;
    int unreachable = 0;
    lab.runIn(NetLab::Ns::Probe, [&] {
        FakeHost bench;
        bench.lines = list;
        bench.settings.parallel = 128;
        AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; }, [](const QString&) {}};
        IcmpProbe oneByOne;
        ParallelProbe sideBySide;
        PingCycle cycle(bench, oneByOne, dispatch, &sideBySide);
        const auto start = Clock::now();
        cycle.bbPingClick();
        ours = seconds(Clock::now() - start);
        for (const QString& line : bench.lines)
            unreachable += line.contains(QStringLiteral("=0%,")) ? 1 : 0;
    });

    const auto start = Clock::now();
    const bool fpingRan = sh("ip netns exec " + lab.name(NetLab::Ns::Probe) +
                             " fping -q -C 4 -t 5000 -p 5000 -f /tmp/tw-bench-targets.txt 2>/dev/null; test $? -le 1");
    const double fping = seconds(Clock::now() - start);

    for (const char* file : {"/tmp/tw-bench-router.batch", "/tmp/tw-bench-host.batch", "/tmp/tw-bench-targets.txt"})
        QFile::remove(QString::fromLatin1(file));
    std::printf("cycle, 1000 addresses (100 silent), 4 requests each, 128 side by side: %.1f s, %d unreachable\n", ours,
                unreachable);
    if (fpingRan)
        std::printf("fping -C 4 -t 5000 -p 5000 on the same list: %.1f s; ratio %.2f\n", fping, ours / fping);
    else
        std::printf("fping did not run\n");
    return 0;
}
