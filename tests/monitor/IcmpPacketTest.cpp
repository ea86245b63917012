#include "monitor/IcmpPacket.h"
#include "platform/AppError.h"
#include "platform/HostLookup.h"

#include <gtest/gtest.h>

#include <vector>

using namespace IcmpPacket;

namespace {

// An IP datagram: a header of `headerWords` 32-bit words with TTL and source, then the ICMP bytes.
std::vector<quint8> datagram(std::vector<quint8> icmp, quint8 ttl = 64, int headerWords = 5,
                             std::array<quint8, 4> source = {192, 0, 2, 9})
{
    std::vector<quint8> bytes(std::size_t(headerWords) * 4, 0);
    bytes[0] = quint8(0x40 | headerWords);
    bytes[8] = ttl;
    bytes[9] = 1;
    std::copy(source.begin(), source.end(), bytes.begin() + 12);
    bytes.insert(bytes.end(), icmp.begin(), icmp.end());
    return bytes;
}

// An ICMP error message quoting an echo request with the sequence number (least significant byte first).
std::vector<quint8> errorQuoting(quint8 type, quint16 sequence, int quotedHeaderWords = 5)
{
    std::vector<quint8> icmp = {type, 1, 0, 0, 0, 0, 0, 0};
    std::vector<quint8> quoted(std::size_t(quotedHeaderWords) * 4, 0);
    quoted[0] = quint8(0x40 | quotedHeaderWords);
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    const std::vector<quint8> echo = {8, 0, 0, 0, 0x11, 0x22, quint8(sequence), quint8(sequence >> 8)};
    icmp.insert(icmp.end(), echo.begin(), echo.end());
    return icmp;
}

QString readError(const std::vector<quint8>& bytes)
{
    try {
        readAnswer(bytes);
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}

} // namespace

TEST(IcmpPacket, ChecksumFollowsRfc1071IncludingOddLengths)
{
    struct Case {
        std::vector<quint8> bytes;
        quint16 sum;
    } cases[] = {
        {{}, 0xffff},
        {{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}, 0x220d}, // the RFC's own example
        {{0x01}, 0xfeff},                                           // an odd byte is the high half of a word
        {{0x00, 0x01, 0xff}, 0x00fe},
        {{0xff}, 0x00ff}, // a byte above 0x7f must not be sign-extended
        {{0x80}, 0x7fff},
        {{0xff, 0xff, 0xff, 0xff, 0xff}, 0x00ff}, // carries folded back in
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(checksum(c.bytes), c.sum);
    }
}

TEST(IcmpPacket, EchoRequestIsBuiltByteForByte)
{
    const auto packet = buildEchoRequest(0x1234, 3489, 0x11223344u, {});
    const std::array<quint8, 12> head = {8, 0, 0, 0, 0x34, 0x12, 0xa1, 0x0d, 0x44, 0x33, 0x22, 0x11};
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (i == 2 || i == 3)
            continue;
        EXPECT_EQ(packet[i], head[i]) << "offset " << i;
    }
    for (std::size_t i = 12; i < 20; ++i)
        EXPECT_EQ(packet[i], 0) << "offset " << i;
    for (std::size_t i = 20; i < 52; ++i)
        EXPECT_EQ(packet[i], 0x45) << "offset " << i;
    // The stored checksum makes the whole message sum to zero.
    EXPECT_EQ(checksum(packet), 0);
    auto zeroed = packet;
    zeroed[2] = zeroed[3] = 0;
    EXPECT_EQ((packet[2] << 8) | packet[3], checksum(zeroed));
}

TEST(IcmpPacket, PayloadIsFollowedByTheLetterEAndCutAt32Bytes)
{
    const auto shortOne = buildEchoRequest(1, 2, 3, "ab");
    EXPECT_EQ(shortOne[20], 'a');
    EXPECT_EQ(shortOne[21], 'b');
    EXPECT_EQ(shortOne[22], 'E');
    EXPECT_EQ(shortOne[51], 'E');
    const QByteArray longPayload(40, 'x');
    const auto longOne = buildEchoRequest(1, 2, 3, longPayload);
    EXPECT_EQ(longOne[51], 'x');
    EXPECT_EQ(checksum(longOne), 0);
}

TEST(IcmpPacket, AnswersAreReadByTypeWithTheirSequenceNumber)
{
    std::vector<quint8> reply = {0, 0, 0, 0, 0x34, 0x12, 0xa1, 0x0d};
    std::vector<quint8> request = reply;
    request[0] = 8;
    struct Case {
        const char* what;
        std::vector<quint8> bytes;
        ReplyStatusType status;
        std::optional<quint16> sequence;
    } cases[] = {
        {"echo reply", datagram(reply), ReplyStatusType::Echo, 3489},
        {"our own echo request", datagram(request), ReplyStatusType::Echo, 3489},
        {"echo reply after a 24-byte header", datagram(reply, 64, 6), ReplyStatusType::Echo, 3489},
        {"unreachable", datagram(errorQuoting(3, 3489)), ReplyStatusType::Unreachable, 3489},
        {"time exceeded", datagram(errorQuoting(11, 65535)), ReplyStatusType::TtlExceeded, 65535},
        // The quoted header is taken to be as long as the outer one.
        {"unreachable after 24-byte headers", datagram(errorQuoting(3, 7, 6), 64, 6), ReplyStatusType::Unreachable, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Answer a = readAnswer(c.bytes);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.sequence, c.sequence);
        EXPECT_EQ(a.timeToLive, 64);
        EXPECT_EQ(a.source, 0xc0000209u);
    }
}

TEST(IcmpPacket, ErrorMessageQuotingTooLittleMatchesNoSequence)
{
    std::vector<quint8> icmp = errorQuoting(3, 3489);
    icmp.resize(icmp.size() - 2); // the quoted sequence number is cut off
    const Answer a = readAnswer(datagram(icmp));
    EXPECT_EQ(a.status, ReplyStatusType::Unreachable);
    EXPECT_FALSE(a.sequence.has_value());
}

TEST(IcmpPacket, ShortDatagramsAndOtherTypesAreErrors)
{
    EXPECT_EQ(readError(datagram({0, 0, 0, 0, 0, 0, 0})), QStringLiteral("Not enough bytes received"));
    EXPECT_EQ(readError({0x45}), QStringLiteral("Not enough bytes received"));
    std::vector<quint8> longHeader = datagram({0, 0, 0, 0, 0, 0, 0, 0}, 64, 6);
    longHeader.pop_back(); // 24-byte header and only 7 bytes after it
    EXPECT_EQ(readError(longHeader), QStringLiteral("Not enough bytes received"));
    EXPECT_EQ(readError(datagram({5, 0, 0, 0, 0, 0, 0, 0})), QStringLiteral("Non-echo type response received"));
    EXPECT_EQ(readError(datagram({13, 0, 0, 0, 0, 0, 0, 0})), QStringLiteral("Non-echo type response received"));
}

TEST(IcmpPacket, DatagramSocketAnswersAreFramedAsARawSocketWouldSeeThem)
{
    std::array<quint8, kReceiveBufferSize> buffer{};
    const std::vector<quint8> reply = {0, 0, 0, 0, 0x99, 0x99, 0xa2, 0x0d};
    std::copy(reply.begin(), reply.end(), buffer.begin() + kAnswerOffset);
    const std::size_t n = frameAnswer(buffer, 52, 0x7f000001, 64);
    EXPECT_EQ(n, 72u);
    Answer a = readAnswer({buffer.data(), n});
    EXPECT_EQ(a.status, ReplyStatusType::Echo);
    EXPECT_EQ(a.sequence, 3490);
    EXPECT_EQ(a.source, 0x7f000001u);
    EXPECT_EQ(a.timeToLive, 64);
    EXPECT_EQ(checksum({buffer.data(), 20}), 0); // a well-formed IP header

    buffer.fill(0);
    const auto request = buildEchoRequest(0x4242, 3491, 0, {});
    std::copy(request.begin(), request.end(), buffer.begin() + kQuotedRequestOffset);
    const std::size_t m = frameErrorReport(buffer, request.size(), kTimeExceeded, 0, 0xc00002feu);
    EXPECT_EQ(m, 100u);
    a = readAnswer({buffer.data(), m});
    EXPECT_EQ(a.status, ReplyStatusType::TtlExceeded);
    EXPECT_EQ(a.type, kTimeExceeded);
    EXPECT_EQ(a.sequence, 3491);
    EXPECT_EQ(HostLookup::dotted(a.source), QStringLiteral("192.0.2.254"));
}

TEST(IcmpPacket, DottedAddressesAreFourNumbersUpTo255)
{
    struct Case {
        const char* text;
        std::optional<quint32> address;
    } cases[] = {
        {"127.0.0.1", 0x7f000001u},
        {"255.255.255.255", 0xffffffffu},
        {"0.0.0.0", 0u},
        {"010.1.1.1", 0x0a010101u}, // decimal, not octal
        {"256.1.1.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..3.4", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1.2.3.x", std::nullopt},
        {"localhost", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDottedIPv4(QString::fromLatin1(c.text)), c.address);
    }
    EXPECT_EQ(HostLookup::dotted(0xc6336407u), QStringLiteral("198.51.100.7"));
}
