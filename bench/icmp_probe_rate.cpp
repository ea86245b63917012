// Echo requests per second to 127.0.0.1 through the probe, beside iputils ping doing the same
// count on the same machine in the same run, in alternating rounds; the best round of each is
// compared. iputils' time includes starting its process. Sends only to loopback; bounded in count.
#include "monitor/IcmpProbe.h"
#include "platform/AppError.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kRequests = 2000;
constexpr int kRounds = 3;

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Seconds for kRequests echo requests through one probe; negative when the probe cannot send.
double probeRound(IcmpProbe& probe, int* answered)
{
    const auto start = Clock::now();
    try {
        for (int i = 0; i < kRequests; ++i) {
            probe.ping();
            *answered += probe.replyStatus().replyStatusType == ReplyStatusType::Echo ? 1 : 0;
        }
    } catch (const AppError& e) {
        std::printf("probe failed: %s\n", e.what());
        return -1;
    }
    return seconds(Clock::now() - start);
}

// Seconds for iputils ping with the same count; negative when it did not run.
double iputilsRound()
{
    const std::string command = "ping -c " + std::to_string(kRequests) + " -i 0 -q 127.0.0.1 >/dev/null 2>&1";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? seconds(Clock::now() - start) : -1;
}

} // namespace

int main()
{
    IcmpProbe probe;
    probe.setHost(QStringLiteral("127.0.0.1"));
    double bestProbe = 1e9;
    double bestPing = 1e9;
    int answered = 0;
    for (int round = 1; round <= kRounds; ++round) {
        const double p = probeRound(probe, &answered);
        if (p < 0)
            return 0;
        const double i = iputilsRound();
        std::printf("round %d: IcmpProbe %.0f requests/s, iputils ping %s\n", round, kRequests / p,
                    i < 0 ? "did not run" : (std::to_string(int(kRequests / i)) + " requests/s").c_str());
        bestProbe = std::min(bestProbe, p);
        if (i > 0)
            bestPing = std::min(bestPing, i);
    }
    const char* kind = probe.lastSocketKind() == IcmpSocket::Kind::Raw ? "raw" : "datagram";
    std::printf("IcmpProbe (%s socket, one socket per request): best %.0f requests/s, %d of %d answered\n", kind,
                kRequests / bestProbe, answered, kRounds * kRequests);
    if (bestPing < 1e9) {
        std::printf("iputils ping -c %d -i 0 -q 127.0.0.1: best %.0f requests/s\n", kRequests, kRequests / bestPing);
        std::printf("ratio IcmpProbe / iputils: %.2f (goal: at least 0.50)\n", bestPing / bestProbe);
    }
    return 0;
}
