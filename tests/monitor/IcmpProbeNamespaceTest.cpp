// The probe against hosts that do not answer, routers that answer for them and a late answer, in
// network namespaces made by the test. Each case runs with the raw socket and with the datagram
// socket that the probe falls back to without the privilege for a raw one.
#include "HostResponder.h"
#include "NetLabTest.h"

#include "monitor/IcmpPacket.h"
#include "monitor/IcmpProbe.h"
#include "platform/AppError.h"
#include "platform/SocketError.h"
#include "platform/TerminationFlag.h"
#include "platform/TickClock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <future>
#include <linux/capability.h>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Mode = IcmpSocket::Mode;

// Both ends of a wait are read from a millisecond clock that truncates; a wait of t ms may read t - 1.
constexpr quint32 kTickSlack = 2;

class IcmpProbeInNamespaces : public NetLabTest<::testing::TestWithParam<Mode>> {
protected:
    // One echo request from the probe namespace; the probe is made there, so are its sockets.
    ReplyStatus pingOnce(const char* host, int timeoutMs, IcmpProbe* keep = nullptr)
    {
        ReplyStatus result;
        m_lab->runIn(NetLab::Ns::Probe, [&] {
            IcmpProbe own(TickClock::system(), GetParam());
            IcmpProbe& probe = keep ? *keep : own;
            probe.setHost(QString::fromLatin1(host));
            probe.setReceiveTimeout(timeoutMs);
            probe.ping();
            result = probe.replyStatus();
            EXPECT_EQ(probe.lastSocketKind(),
                      GetParam() == Mode::RawOnly ? IcmpSocket::Kind::Raw : IcmpSocket::Kind::Datagram);
        });
        return result;
    }
};

std::string modeName(const ::testing::TestParamInfo<Mode>& info)
{
    return info.param == Mode::RawOnly ? "RawSocket" : "DatagramSocket";
}

// Answers each request only when the next one arrives (a late answer), and the newer one after
// `delayMs`, if given.
HostResponder::Handler lateAnswers(std::optional<int> delayMs)
{
    auto earlier = std::make_shared<std::optional<HostResponder::Request>>();
    return [earlier, delayMs](int fd, const HostResponder::Request& request) {
        if (*earlier) {
            HostResponder::answer(fd, **earlier);
            if (delayMs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(*delayMs));
                HostResponder::answer(fd, request);
            }
        }
        *earlier = request;
    };
}

} // namespace

TEST_P(IcmpProbeInNamespaces, LoopbackAnswers)
{
    const ReplyStatus r = pingOnce("127.0.0.1", 2000);
    EXPECT_EQ(r.replyStatusType, ReplyStatusType::Echo);
    EXPECT_EQ(r.fromIpAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.bytesReceived, 72);
    EXPECT_EQ(r.sequenceNumber, IcmpProbe::kFirstSequenceNumber);
}

TEST_P(IcmpProbeInNamespaces, HostThatNeverAnswersTimesOut)
{
    const ReplyStatus r = pingOnce(NetLab::kSilent, 400);
    EXPECT_EQ(r.replyStatusType, ReplyStatusType::TimedOut);
    EXPECT_EQ(r.fromIpAddress, QStringLiteral("0.0.0.0"));
    EXPECT_EQ(r.bytesReceived, 0);
    EXPECT_EQ(r.msgType, 0);
    EXPECT_EQ(r.timeToLive, 0);
    EXPECT_EQ(r.sequenceNumber, IcmpProbe::kFirstSequenceNumber);
    EXPECT_GE(r.msRoundTripTime, 400u - kTickSlack);
    EXPECT_LT(r.msRoundTripTime, 2000u);
}

TEST_P(IcmpProbeInNamespaces, TheEndOfTheProgramAbandonsTheWaitForASilentHost)
{
    TerminationFlag termination;
    std::thread ending([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        termination.raise();
    });
    QString failure;
    m_lab->runIn(NetLab::Ns::Probe, [&] {
        IcmpProbe probe(TickClock::system(), GetParam());
        probe.setHost(QString::fromLatin1(NetLab::kSilent));
        probe.setStopHandle(termination.handle());
        try {
            probe.ping(); // would wait the whole 5000 ms
        } catch (const AppError& e) {
            failure = e.text();
        }
        // Once the end is raised, no further request goes out.
        EXPECT_THROW(probe.ping(), AppError);
        EXPECT_EQ(probe.sequenceNumber(), IcmpProbe::kFirstSequenceNumber + 1);
    });
    ending.join();
    EXPECT_EQ(failure, IcmpProbe::kAbandonedText);
}

TEST_P(IcmpProbeInNamespaces, RouterAnswersDestinationUnreachable)
{
    const ReplyStatus r = pingOnce(NetLab::kUnreachable, 3000);
    EXPECT_EQ(r.replyStatusType, ReplyStatusType::Unreachable);
    EXPECT_EQ(r.msgType, IcmpPacket::kDestinationUnreachable);
    EXPECT_EQ(r.fromIpAddress, QString::fromLatin1(NetLab::kRouter));
    EXPECT_EQ(r.sequenceNumber, IcmpProbe::kFirstSequenceNumber);
    EXPECT_LT(r.msRoundTripTime, 3000u);
}

TEST_P(IcmpProbeInNamespaces, RoutingLoopEndsInTimeExceeded)
{
    const ReplyStatus r = pingOnce(NetLab::kLooping, 3000);
    EXPECT_EQ(r.replyStatusType, ReplyStatusType::TtlExceeded);
    EXPECT_EQ(r.msgType, IcmpPacket::kTimeExceeded);
    // Whichever of the two looping hops counts the TTL down to zero reports it.
    EXPECT_TRUE(r.fromIpAddress == QStringLiteral("192.0.2.254") ||
                r.fromIpAddress == QStringLiteral("203.0.113.129") ||
                r.fromIpAddress == QStringLiteral("203.0.113.130"))
        << r.fromIpAddress.toStdString();
    EXPECT_LT(r.msRoundTripTime, 3000u);
}

TEST_P(IcmpProbeInNamespaces, LateAnswerToThePreviousRequestIsDropped)
{
    HostResponder responder(*m_lab, lateAnswers(150));
    m_lab->runIn(NetLab::Ns::Probe, [&] {
        IcmpProbe probe(TickClock::system(), GetParam());
        probe.setHost(QString::fromLatin1(NetLab::kHost));
        probe.setReceiveTimeout(300);
        probe.ping(); // held back by the responder
        EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::TimedOut);

        probe.setReceiveTimeout(3000);
        probe.ping(); // the first request's answer comes at once, this one's 150 ms later
        const ReplyStatus& r = probe.replyStatus();
        EXPECT_EQ(r.replyStatusType, ReplyStatusType::Echo);
        EXPECT_EQ(r.sequenceNumber, IcmpProbe::kFirstSequenceNumber + 1);
        EXPECT_EQ(r.msgType, IcmpPacket::kEchoReply);
        EXPECT_EQ(r.fromIpAddress, QString::fromLatin1(NetLab::kHost));
        EXPECT_GE(r.msRoundTripTime, 140u) << "the late answer to the first request was taken";
    });
}

TEST_P(IcmpProbeInNamespaces, LateAnswerAloneLetsTheWaitRunToItsEnd)
{
    HostResponder responder(*m_lab, lateAnswers(std::nullopt));
    m_lab->runIn(NetLab::Ns::Probe, [&] {
        IcmpProbe probe(TickClock::system(), GetParam());
        probe.setHost(QString::fromLatin1(NetLab::kHost));
        probe.setReceiveTimeout(300);
        probe.ping();
        probe.ping(); // only the first request's answer arrives
        EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::TimedOut);
        EXPECT_EQ(probe.replyStatus().sequenceNumber, IcmpProbe::kFirstSequenceNumber + 1);
        EXPECT_GE(probe.replyStatus().msRoundTripTime, 300u - kTickSlack);
    });
}

TEST_P(IcmpProbeInNamespaces, NameThatDoesNotResolveRaisesAndKeepsTheSequenceNumber)
{
    m_lab->runIn(NetLab::Ns::Probe, [&] {
        IcmpProbe probe(TickClock::system(), GetParam());
        probe.setHost(QStringLiteral("127.0.0.1"));
        probe.ping();
        const ReplyStatus before = probe.replyStatus();
        probe.setHost(QStringLiteral("no-such-station.invalid"));
        EXPECT_THROW(probe.ping(), SocketError);
        EXPECT_EQ(probe.sequenceNumber(), IcmpProbe::kFirstSequenceNumber + 1);
        EXPECT_EQ(probe.replyStatus().sequenceNumber, before.sequenceNumber);
        probe.setHost(QStringLiteral("127.0.0.1"));
        probe.ping();
        EXPECT_EQ(probe.replyStatus().sequenceNumber, IcmpProbe::kFirstSequenceNumber + 1);
    });
}

INSTANTIATE_TEST_SUITE_P(Sockets, IcmpProbeInNamespaces, ::testing::Values(Mode::RawOnly, Mode::DatagramOnly),
                         modeName);

namespace {

// Capabilities belong to the thread: the calling one gives up the privilege for raw sockets.
void dropRawSocketPrivilege()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
    data[CAP_NET_RAW / 32].permitted &= ~(1u << (CAP_NET_RAW % 32));
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

} // namespace

TEST(IcmpProbeFallback, DatagramSocketIsUsedWhereRawOnesAreRefused)
{
    if (!NetLab::unavailableReason().empty())
        GTEST_SKIP() << NetLab::unavailableReason();
    NetLab lab;
    lab.runIn(NetLab::Ns::Probe, [] {
        dropRawSocketPrivilege();
        IcmpProbe probe;
        probe.setHost(QStringLiteral("127.0.0.1"));
        probe.ping();
        EXPECT_EQ(probe.lastSocketKind(), IcmpSocket::Kind::Datagram);
        EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::Echo);
        EXPECT_EQ(probe.replyStatus().msgType, IcmpPacket::kEchoReply);
    });
}

TEST(IcmpProbeFallback, NeitherKindOfSocketMeansCannotAllocateSocket)
{
    if (!NetLab::unavailableReason().empty())
        GTEST_SKIP() << NetLab::unavailableReason();
    NetLab lab;
    // The router namespace keeps the default that lets no group open ICMP datagram sockets.
    lab.runIn(NetLab::Ns::Router, [] {
        dropRawSocketPrivilege();
        IcmpProbe probe;
        probe.setHost(QStringLiteral("127.0.0.1"));
        try {
            probe.ping();
            ADD_FAILURE() << "the echo request went out without a socket";
        } catch (const AppError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("Cannot allocate socket."));
        }
        EXPECT_EQ(probe.sequenceNumber(), IcmpProbe::kFirstSequenceNumber);
    });
}
