// Real echo requests to the loopback range through the probe, in the namespace the tests run in.
#include "PingCycleFakes.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpProbe.h"
#include "monitor/PingCycle.h"
#include "platform/AppError.h"
#include "platform/IcmpSocket.h"
#include "platform/SocketError.h"
#include "platform/TickClock.h"

#include <gtest/gtest.h>

namespace {

// Skips the test when this account may open neither a raw nor a datagram ICMP socket.
bool icmpAvailable()
{
    return IcmpSocket::open(IcmpSocket::Mode::RawThenDatagram) != nullptr;
}

#define REQUIRE_ICMP()                                                                                                 \
    if (!icmpAvailable())                                                                                              \
    GTEST_SKIP() << "no ICMP socket for this account (needs CAP_NET_RAW or net.ipv4.ping_group_range)"

// A tick clock that stands just before the 32-bit wrap and moves one millisecond per reading, so
// that every echo request crosses the wrap.
class SteppingClock final : public TickClock {
public:
    quint32 now() const override { return m_now++; }
    mutable quint32 m_now = 0xfffffffeu;
};

} // namespace

TEST(IcmpProbeLoopback, LocalAddressAnswersWithEchoAtOnce)
{
    REQUIRE_ICMP();
    IcmpProbe probe;
    probe.setHost(QStringLiteral("127.0.0.1"));
    probe.ping();
    const ReplyStatus& r = probe.replyStatus();
    EXPECT_EQ(r.replyStatusType, ReplyStatusType::Echo);
    EXPECT_EQ(r.fromIpAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.sequenceNumber, IcmpProbe::kFirstSequenceNumber);
    EXPECT_EQ(r.bytesReceived, 72); // 20-byte IP header and our 52 bytes
    EXPECT_TRUE(r.msgType == 0 || r.msgType == 8) << int(r.msgType);
    EXPECT_LT(r.msRoundTripTime, 1000u);
    EXPECT_EQ(probe.sequenceNumber(), IcmpProbe::kFirstSequenceNumber + 1);
}

TEST(IcmpProbeLoopback, LocalhostInAnyCaseAndTheWholeLoopbackRangeAnswer)
{
    REQUIRE_ICMP();
    EXPECT_EQ(IcmpProbe::resolve(QStringLiteral("LocalHost")), 0x7f000001u);
    IcmpProbe probe;
    for (const char* host : {"localhost", "LOCALHOST", "127.1.2.3"}) {
        SCOPED_TRACE(host);
        probe.setHost(QString::fromLatin1(host));
        probe.ping();
        EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::Echo);
        const QString expected = QString::fromLatin1(host).startsWith(QLatin1String("127."))
                                     ? QString::fromLatin1(host)
                                     : QStringLiteral("127.0.0.1");
        // A raw socket sees our own request, whose source is the loopback address it went out from.
        EXPECT_TRUE(probe.replyStatus().fromIpAddress == expected ||
                    probe.replyStatus().fromIpAddress == QStringLiteral("127.0.0.1"))
            << probe.replyStatus().fromIpAddress.toStdString();
    }
}

TEST(IcmpProbeLoopback, SequenceNumbersAdvanceAndWrapAfterCompletedRequestsOnly)
{
    REQUIRE_ICMP();
    IcmpProbe probe;
    probe.setHost(QStringLiteral("127.0.0.1"));
    int replies = 0;
    probe.onReply = [&](const ReplyStatus& r) {
        ++replies;
        EXPECT_EQ(r.sequenceNumber, probe.sequenceNumber()); // raised before the number advances
    };

    probe.ping({}, 65535);
    EXPECT_EQ(probe.replyStatus().sequenceNumber, 65535);
    EXPECT_EQ(probe.sequenceNumber(), 0); // wrapped
    probe.ping();                         // 0 keeps the current number, which is 0 after the wrap
    EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::Echo);
    EXPECT_EQ(probe.replyStatus().sequenceNumber, 0);
    EXPECT_EQ(probe.sequenceNumber(), 1);
    EXPECT_EQ(replies, 2);
}

TEST(IcmpProbeLoopback, RoundTripTimeIsRightAcrossTheWrapOfTheTickCount)
{
    REQUIRE_ICMP();
    SteppingClock clock;
    IcmpProbe probe(clock);
    probe.setHost(QStringLiteral("127.0.0.1"));
    probe.ping();
    EXPECT_LT(clock.m_now, 16u) << "the request did not cross the wrap";
    EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::Echo);
    // The round trip is the kernel's stamp on the answer; the clock, which judges the timeout,
    // crossed its wrap without taking the wait for four billion milliseconds.
    EXPECT_LT(probe.replyStatus().msRoundTripTime, 16u);
}

TEST(IcmpProbeLoopback, PayloadTextGoesOutAndAnswerIsStillMatched)
{
    REQUIRE_ICMP();
    IcmpProbe probe;
    probe.setHost(QStringLiteral("127.0.0.1"));
    probe.ping("tarnwick", 0);
    EXPECT_EQ(probe.replyStatus().replyStatusType, ReplyStatusType::Echo);
}

TEST(IcmpProbeLoopback, WholeCycleOverLocalAddressesKeepsThemHealthy)
{
    REQUIRE_ICMP();
    FakeHost host;
    host.lines = {QStringLiteral("127.0.0.1:本地地址=100%"), QStringLiteral("localhost:本机=100%"),
                  QStringLiteral("127.0.0.9:环回=100%")};
    IcmpProbe probe;
    AlarmDispatch dispatch([] { return AlarmDispatch::Switches{true, true, true, true}; }, nullptr);
    PingCycle cycle(host, probe, dispatch);
    cycle.bbPingClick();
    EXPECT_EQ(host.info.size(), 2) << host.info.join('\n').toStdString(); // start and end only
    for (const QString& line : host.lines) {
        // Answered within the clock's resolution: quality 100 and an average of (about) 0 ms.
        EXPECT_TRUE(line.endsWith(QStringLiteral("=100%,0")) || line.endsWith(QStringLiteral("=100%,1")))
            << line.toStdString();
    }
    EXPECT_EQ(dispatch.currentCode(), 0);
    EXPECT_EQ(probe.sequenceNumber(), IcmpProbe::kFirstSequenceNumber + 12);
}
