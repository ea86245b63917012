// One ping cycle of the headless monitor (the window built but never shown, its address list in the
// list memo) over 10,000 addresses of 127.0.0.0/8 with four echo requests each, beside the same
// requests sent by a minimal loop that opens one raw socket per request, in the same run: what the
// monitor adds per address to the bare cost of the requests. Sends only to loopback; bounded in count.
#include "BenchSupport.h"
#include "app/TfrmTarnwick.h"

#include <QApplication>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kAddresses = 10000;
constexpr int kRequests = 4;

quint16 checksum(const unsigned char* data, size_t size)
{
    quint32 sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += quint32(data[i]) << 8 | data[i + 1];
    if (size % 2)
        sum += quint32(data[size - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

// One echo request on a raw socket of its own, waited for up to 5 s: true when its reply came.
bool bareRequest(quint32 address, quint16 sequence)
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    unsigned char packet[40] = {ICMP_ECHO, 0};
    const quint16 id = quint16(::getpid());
    packet[4] = id >> 8;
    packet[5] = id & 0xff;
    packet[6] = sequence >> 8;
    packet[7] = sequence & 0xff;
    const quint16 sum = checksum(packet, sizeof packet);
    packet[2] = sum >> 8;
    packet[3] = sum & 0xff;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    bool answered = false;
    if (::sendto(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == sizeof packet) {
        unsigned char reply[1500];
        pollfd wait{fd, POLLIN, 0};
        while (!answered && ::poll(&wait, 1, 5000) > 0) {
            const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
            if (n < 28)
                break;
            const unsigned char* icmp = reply + (reply[0] & 0x0f) * 4;
            answered = icmp[0] == ICMP_ECHOREPLY && icmp[4] == packet[4] && icmp[5] == packet[5] &&
                       icmp[6] == packet[6] && icmp[7] == packet[7];
        }
    }
    ::close(fd);
    return answered;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::HeadlessFolder folder;
    folder.writeLoopbackList(kAddresses, [](int i) { return "bench-" + QByteArray::number(i); });
    TfrmTarnwick window(folder.context());
    window.FormCreate(); // with its first cycle

    double cpu = Bench::cpuSeconds();
    auto start = std::chrono::steady_clock::now();
    window.bbPingClick();
    const double monitor = Bench::secondsSince(start);
    const double monitorCpu = Bench::cpuSeconds() - cpu;

    cpu = Bench::cpuSeconds();
    start = std::chrono::steady_clock::now();
    int answered = 0;
    for (int i = 0; i < kAddresses; ++i) {
        for (int k = 0; k < kRequests; ++k)
            answered += bareRequest(Bench::loopbackAddress(i), quint16(i * kRequests + k)) ? 1 : 0;
    }
    const double bare = Bench::secondsSince(start);
    const double bareCpu = Bench::cpuSeconds() - cpu;

    std::printf("headless cycle: %d loopback addresses x %d echo requests: %.3f s wall, %.3f s CPU; the same "
                "requests from a minimal loop with one raw socket each: %.3f s wall, %.3f s CPU (%d answered); "
                "ratio %.2fx wall, %.2fx CPU (goal: within 2.0x)\n",
                kAddresses, kRequests, monitor, monitorCpu, bare, bareCpu, answered, monitor / bare,
                monitorCpu / bareCpu);
    return 0;
}
