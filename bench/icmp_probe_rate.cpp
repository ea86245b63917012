// Echo requests per second to 127.0.0.1 through the probe, beside iputils ping doing the same
// count on the same machine in the same run. Sends only to loopback; bounded in count.
#include "monitor/IcmpProbe.h"
#include "platform/AppError.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kRequests = 2000;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main() {
    using Clock = std::chrono::steady_clock;

    IcmpProbe probe;
    probe.setHost(QStringLiteral("127.0.0.1"));
    int answered = 0;
    const auto start = Clock::now();
    try {
        for (int i = 0; i < kRequests; ++i) {
            probe.ping();
            answered += probe.replyStatus().replyStatusType == ReplyStatusType::Echo ? 1 : 0;
        }
    } catch (const AppError& e) {
        std::printf("probe failed: %s\n", e.what());
        return 0;
    }
    const double probeSeconds = seconds(Clock::now() - start);
    const double probeRate = kRequests / probeSeconds;
    const char* kind = probe.lastSocketKind() == IcmpSocket::Kind::Raw ? "raw" : "datagram";
    std::printf("IcmpProbe (%s socket): %d echo requests to 127.0.0.1 in %.3f s, %d answered: %.0f requests/s\n", kind,
                kRequests, probeSeconds, answered, probeRate);

    const std::string command = "ping -c " + std::to_string(kRequests) + " -i 0 -q 127.0.0.1 >/dev/null 2>&1";
    const auto pingStart = Clock::now();
    const int status = std::system(command.c_str());
    const double pingSeconds = seconds(Clock::now() - pingStart);
    if (status != 0) {
        std::printf("iputils ping did not run (status %d); no ratio\n", status);
        return 0;
    }
    const double pingRate = kRequests / pingSeconds;
    std::printf("iputils ping -c %d -i 0 -q: %.3f s: %.0f requests/s\n", kRequests, pingSeconds, pingRate);
    std::printf("ratio IcmpProbe / iputils: %.2f (goal: at least 0.50)\n", probeRate / pingRate);
    return 0;
}
