// Cycles that probe many addresses at once, against hosts in network namespaces made by the test:
// answering ones (in random order), slow, lossy, silent, unreachable and looping ones. Each case
// runs with the raw socket and with the datagram socket.
#include "NetLab.h"
#include "PingCycleFakes.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpPacket.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/PingCycle.h"
#include "platform/TickClock.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Mode = IcmpSocket::Mode;
using Clock = std::chrono::steady_clock;

// Answers echo requests in the host namespace, whose kernel stays silent, from a raw socket: an
// address of the first `answering` after a random delay of up to 60 ms; of the next two after
// 150 ms (slow); the next one every request but the second of each four (lossy); the next two with
// destination unreachable after a random delay of up to 60 ms. With decoys, every
// request first gets an echo reply and a destination unreachable that carry its sequence number
// but another identifier, as another program's traffic could.
class Responder {
public:
    static constexpr int kFirst = 131; // 203.0.113.131 and on, addresses of the host namespace
    static constexpr int kAnswering = 10;

    Responder(const NetLab& lab, bool decoys)
        : m_decoys(decoys)
    {
        std::future<void> ready = m_ready.get_future();
        m_thread = std::thread([this, &lab] { lab.runIn(NetLab::Ns::Host, [this] { serve(); }); });
        ready.wait();
    }
    ~Responder()
    {
        m_stop = true;
        m_thread.join();
    }

    static QString address(int i) { return QStringLiteral("203.0.113.%1").arg(kFirst + i); }
    static QString slow(int i) { return address(kAnswering + i); }
    static QString lossy() { return address(kAnswering + 2); }
    static QString refusing(int i) { return address(kAnswering + 3 + i); }

private:
    struct Reply {
        sockaddr_in to;
        std::vector<quint8> icmp;
    };

    void serve()
    {
        const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        m_ready.set_value();
        ASSERT_GE(fd, 0);
        std::mt19937 random(20261208);
        std::multimap<Clock::time_point, Reply> due;
        std::map<int, int> seen;
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!m_stop && Clock::now() < deadline) {
            int wait = 20;
            if (!due.empty())
                wait = int(std::clamp<qint64>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(due.begin()->first - Clock::now()).count(), 0,
                    20));
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, wait) > 0) {
                quint8 buffer[1024];
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
                const std::size_t h = std::size_t(buffer[0] & 0x0f) * 4;
                if (n >= ssize_t(h + 8) && buffer[h] == IcmpPacket::kEchoRequest) {
                    const int i = int(buffer[19]) - kFirst;
                    Reply reply{from, std::vector<quint8>(buffer + h, buffer + n)};
                    reply.icmp[0] = IcmpPacket::kEchoReply;
                    if (m_decoys)
                        sendDecoys(fd, reply, {buffer, std::size_t(n)});
                    const int count = seen[i]++;
                    const auto random60 = std::chrono::milliseconds(random() % 61);
                    if (i >= 0 && i < kAnswering)
                        due.emplace(Clock::now() + random60, reply);
                    else if (i == kAnswering || i == kAnswering + 1)
                        due.emplace(Clock::now() + std::chrono::milliseconds(150), reply);
                    else if (i == kAnswering + 2 && count % 4 != 1)
                        due.emplace(Clock::now(), reply);
                    else if (i == kAnswering + 3 || i == kAnswering + 4)
                        due.emplace(Clock::now() + random60, Reply{from, unreachable({buffer, std::size_t(n)})});
                }
            }
            while (!due.empty() && due.begin()->first <= Clock::now()) {
                Reply& reply = due.begin()->second;
                send(fd, reply.to, reply.icmp);
                due.erase(due.begin());
            }
        }
        ::close(fd);
    }

    static void send(int fd, const sockaddr_in& to, std::vector<quint8>& icmp)
    {
        icmp[2] = icmp[3] = 0;
        const quint16 sum = IcmpPacket::checksum(icmp);
        icmp[2] = quint8(sum >> 8);
        icmp[3] = quint8(sum);
        ::sendto(fd, icmp.data(), icmp.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    // A destination unreachable quoting the request's IP header and the first 8 bytes of its ICMP message.
    static std::vector<quint8> unreachable(std::span<const quint8> request)
    {
        std::vector<quint8> icmp(8 + 28, 0);
        icmp[0] = IcmpPacket::kDestinationUnreachable;
        icmp[1] = 1;
        std::copy(request.begin(), request.begin() + 28, icmp.begin() + 8);
        return icmp;
    }

    static void sendDecoys(int fd, const Reply& request, std::span<const quint8> datagram)
    {
        std::vector<quint8> echo = request.icmp;
        echo[4] ^= 0x5a; // another identifier, the same sequence number
        send(fd, request.to, echo);
        std::vector<quint8> error = unreachable(datagram);
        error[8 + 20 + 4] ^= 0x5a;
        send(fd, request.to, error);
    }

    bool m_decoys;
    std::promise<void> m_ready;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class SideBySide : public ::testing::TestWithParam<Mode> {
protected:
    static constexpr int kTimeout = 300;

    void SetUp() override
    {
        const std::string why = NetLab::unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        m_lab.emplace();
        for (int i = 1; i <= Responder::kAnswering + 5; ++i) {
            const std::string ip = Responder::address(i - 1).toStdString();
            ASSERT_EQ(
                std::system(("ip -n " + m_lab->name(NetLab::Ns::Host) + " addr add " + ip + "/26 dev h0").c_str()), 0);
        }
    }

    // One cycle over the lines from the probe namespace; returns the pane, the lines and the alarms.
    struct Run {
        QStringList info, lines, alarms;
        double seconds = 0;
    };
    Run cycle(const QStringList& lines, int parallel, const std::function<void(FakeHost&)>& onEvents = {})
    {
        Run run;
        m_lab->runIn(NetLab::Ns::Probe, [&] {
            FakeHost host;
            host.lines = lines;
            host.settings.parallel = parallel;
            host.settings.rttThreshold = 100;
            host.settings.ignoreNormal = false;
            if (onEvents)
                host.onProcessEvents = [&] { onEvents(host); };
            AlarmDispatch dispatch{[] {
                                       return AlarmDispatch::Switches{true, false, false, false};
                                   },
                                   [&](const QString& line) { host.addInfo(line); }};
            dispatch.playAlarmSound = [&](int code, const QString& key) {
                run.alarms << QStringLiteral("%1 %2").arg(code).arg(key);
            };
            IcmpProbe oneByOne(TickClock::system(), GetParam());
            oneByOne.setReceiveTimeout(kTimeout);
            ParallelProbe sideBySide(TickClock::system(), GetParam());
            sideBySide.setReceiveTimeout(kTimeout);
            PingCycle pingCycle(host, oneByOne, dispatch, &sideBySide);
            const auto start = Clock::now();
            pingCycle.bbPingClick();
            run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            run.info = host.info;
            run.lines = host.lines;
        });
        return run;
    }

    std::optional<NetLab> m_lab;
};

std::string modeName(const ::testing::TestParamInfo<Mode>& info)
{
    return info.param == Mode::RawOnly ? "RawSocket" : "DatagramSocket";
}

// Round-trip times are measurements, like the time stamps: only whether they reach the threshold
// is the same from run to run.
QStringList withoutRoundTrips(QStringList lines)
{
    static const QRegularExpression rtt(QStringLiteral("(平均RTT：|%,)\\d+"));
    for (QString& line : lines)
        line.replace(rtt, QStringLiteral("\\1#"));
    return lines;
}

QStringList mixedList()
{
    QStringList lines;
    auto add = [&](const QString& ip, const QString& name) { lines << ip + ":" + name + "=100%,0"; };
    for (int i = 0; i < Responder::kAnswering; ++i) {
        add(Responder::address(i), QStringLiteral("答%1").arg(i));
        if (i % 3 == 0)
            add(QStringLiteral("203.0.113.%1").arg(i + 1), QStringLiteral("静%1").arg(i)); // silent
        if (i % 5 == 1)
            add(Responder::refusing(i / 5), QStringLiteral("断%1").arg(i));
    }
    add(Responder::slow(0), QStringLiteral("慢0"));
    add(QString::fromLatin1(NetLab::kLooping), QStringLiteral("环"));
    add(Responder::lossy(), QStringLiteral("丢"));
    add(Responder::slow(1), QStringLiteral("慢1"));
    return lines;
}

} // namespace

TEST_P(SideBySide, GivesTheLinesAndAlarmsOfTheCycleThatTakesOneAddressAfterTheOther)
{
    Responder responder(*m_lab, false);
    const QStringList list = mixedList();
    const Run one = cycle(list, 1);
    const Run many = cycle(list, 64);

    EXPECT_EQ(withoutRoundTrips(many.info), withoutRoundTrips(one.info));
    EXPECT_EQ(withoutRoundTrips(many.lines), withoutRoundTrips(one.lines));
    EXPECT_EQ(many.alarms, one.alarms);
    // And what both say is what the hosts did.
    for (int i = 0; i < list.size(); ++i) {
        const QString name = list[i].section(':', 1).section('=', 0, 0);
        const QString quality = name.startsWith(QStringLiteral("丢"))                            ? "=75%,"
                                : name.startsWith(QStringLiteral("答")) || name.startsWith("慢") ? "=100%,"
                                                                                                 : "=0%,";
        EXPECT_TRUE(many.lines[i].contains(quality)) << many.lines[i].toStdString();
    }
    EXPECT_TRUE(many.alarms.contains(QStringLiteral("3 ") + Responder::slow(1) + ":慢1"));
    EXPECT_TRUE(many.alarms.contains(QStringLiteral("1 ") + QString::fromLatin1(NetLab::kLooping) + ":环"));
    // The silent hosts waited side by side, not one after the other.
    EXPECT_LT(many.seconds, one.seconds / 2);
}

TEST_P(SideBySide, AnswersOfOtherProgramsAreLeftToThem)
{
    Responder responder(*m_lab, true);
    m_lab->runIn(NetLab::Ns::Probe, [&] {
        ParallelProbe probe(TickClock::system(), GetParam());
        probe.setReceiveTimeout(kTimeout);
        const int hosts = Responder::kAnswering + 3; // the lossy one last
        for (int i = 0; i < hosts; ++i)
            probe.start(i, Responder::address(i), 4);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (probe.busy() > 0 && Clock::now() < deadline)
            probe.advance(50);
        for (int i = 0; i < hosts; ++i) {
            const auto outcomes = probe.takeFinished(i);
            ASSERT_TRUE(outcomes);
            for (std::size_t k = 0; k < outcomes->size(); ++k) {
                const ParallelProbe::Outcome& r = (*outcomes)[k];
                ASSERT_TRUE(r);
                const bool lost = i == hosts - 1 && k == 1;
                EXPECT_EQ(r->replyStatusType, lost ? ReplyStatusType::TimedOut : ReplyStatusType::Echo)
                    << i << " " << k;
                if (!lost) {
                    EXPECT_EQ(r->fromIpAddress, QString::fromLatin1(NetLab::kHost));
                }
            }
        }
    });
}

TEST_P(SideBySide, CancelFinishesTheAddressesInFlightAndTheEndAbandonsThem)
{
    QStringList list;
    for (int i = 1; i <= 40; ++i)
        list << QStringLiteral("203.0.113.%1:静%1").arg(i);
    for (const bool ending : {false, true}) {
        const auto start = Clock::now();
        bool stopped = false;
        const Run run = cycle(list, 8, [&](FakeHost& host) {
            if (!stopped && Clock::now() - start > std::chrono::milliseconds(kTimeout)) {
                stopped = true;
                (ending ? host.ending : host.pingEnabled) = true;
            }
        });
        // Cancel: the eight in flight get their verdicts, no later address is started.
        const int verdicts = ending ? 0 : 8;
        ASSERT_EQ(run.info.size(), verdicts + 2) << run.info.join('\n').toStdString();
        for (int i = 1; i <= verdicts; ++i)
            EXPECT_TRUE(run.info[i].startsWith(QStringLiteral("T> 203.0.113.%1:静%1网络不通！！！没有响应。").arg(i)));
        EXPECT_EQ(run.info.last(), QStringLiteral("T> Ping结束。"));
        EXPECT_EQ(run.lines[verdicts], list[verdicts]);
        EXPECT_LT(run.seconds, (ending ? 2 : 8) * kTimeout / 1000.0);
    }
}

TEST_P(SideBySide, TwoHundredSilentHostsTakeFourRoundsOfTimeouts)
{
    ASSERT_EQ(
        std::system(("ip -n " + m_lab->name(NetLab::Ns::Router) + " route replace blackhole 198.51.100.0/24").c_str()),
        0);
    QStringList list;
    for (int i = 1; i <= 200; ++i)
        list << QStringLiteral("198.51.100.%1:静%1").arg(i);
    auto last = Clock::now();
    Clock::duration longestWithoutMessages{};
    const Run run = cycle(list, 64, [&](FakeHost&) {
        longestWithoutMessages = std::max(longestWithoutMessages, Clock::now() - last);
        last = Clock::now();
    });
    // One after the other, the window would handle no message during each whole timeout.
    EXPECT_LT(longestWithoutMessages, std::chrono::milliseconds(kTimeout));
    const double rounds = 4 * kTimeout / 1000.0 * 4; // ceil(200 / 64) rounds of four timeouts
    EXPECT_GE(run.seconds, rounds * 0.95);
    EXPECT_LT(run.seconds, rounds * 3) << "one after the other it would take " << 200 * 4 * kTimeout / 1000.0 << " s";
    EXPECT_EQ(run.info.size(), 202);
    for (int i = 1; i <= 200; ++i)
        EXPECT_TRUE(run.info[i].contains(QStringLiteral("没有响应")) &&
                    run.lines[i - 1].contains(QStringLiteral("=0%,")));
}

INSTANTIATE_TEST_SUITE_P(Sockets, SideBySide, ::testing::Values(Mode::RawOnly, Mode::DatagramOnly), modeName);

namespace {

// A cycle of 50 loopback addresses, 40 side by side, in a process that may open only ten more
// descriptors: the requests that find none wait for a socket, and the pane says so once.
void cycleShortOfDescriptors()
{
    int open = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++open;
    }
    const rlimit limit{rlim_t(open + 10), rlim_t(open + 10)};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        std::_Exit(2);
    FakeHost host;
    for (int i = 1; i <= 50; ++i)
        host.lines << QStringLiteral("127.0.0.%1:a%1=100%,0").arg(i);
    host.settings.parallel = 40;
    host.settings.ignoreNormal = false;
    AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; }, [&](const QString& line) { host.addInfo(line); }};
    IcmpProbe oneByOne;
    ParallelProbe sideBySide;
    PingCycle(host, oneByOne, dispatch, &sideBySide).bbPingClick();
    const QStringList told = host.info.filter(QStringLiteral("同时检测地址数暂减为"));
    const QStringList normal = host.info.filter(QStringLiteral("网络正常"));
    std::fprintf(stderr, "%s\n", host.info.join('\n').toStdString().c_str());
    std::_Exit(told.size() == 1 && normal.size() == 50 && normal[49].contains(QStringLiteral("127.0.0.50:")) ? 0 : 1);
}

} // namespace

TEST(SideBySideLimits, RequestsWaitForASocketWhenTheSystemHasNoMoreDescriptors)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "raw ICMP sockets need root";
    EXPECT_EXIT(cycleShortOfDescriptors(), ::testing::ExitedWithCode(0), "");
}
