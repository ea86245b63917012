#include "monitor/IcmpPacket.h"

#include "platform/AppError.h"

#include <QStringList>

namespace IcmpPacket {

namespace {

constexpr std::size_t kIpHeaderSize = 20;
constexpr quint8 kProtocolIcmp = 1;

void putLittleEndian16(quint8* at, quint16 value)
{
    at[0] = quint8(value);
    at[1] = quint8(value >> 8);
}

void putBigEndian16(quint8* at, quint16 value)
{
    at[0] = quint8(value >> 8);
    at[1] = quint8(value);
}

void putBigEndian32(quint8* at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = quint8(value >> (24 - 8 * i));
}

void writeIpHeader(quint8* at, std::size_t totalSize, quint8 timeToLive, quint32 source)
{
    std::fill(at, at + kIpHeaderSize, quint8(0));
    at[0] = 0x45; // version 4, header of five 32-bit words
    putBigEndian16(at + 2, quint16(totalSize));
    at[8] = timeToLive;
    at[9] = kProtocolIcmp;
    putBigEndian32(at + 12, source);
    putBigEndian16(at + 10, checksum({at, kIpHeaderSize}));
}

} // namespace

quint16 checksum(std::span<const quint8> bytes)
{
    quint32 sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += (quint32(bytes[i]) << 8) | bytes[i + 1];
    // The odd byte goes in unsigned: a sign-extended 0x80..0xFF would corrupt the high half.
    if (i < bytes.size())
        sum += quint32(bytes[i]) << 8;
    sum = (sum >> 16) + (sum & 0xffff);
    sum += sum >> 16;
    return quint16(~sum);
}

std::array<quint8, kEchoRequestSize> buildEchoRequest(quint16 identifier, quint16 sequence, quint32 tick,
                                                      QByteArrayView payload)
{
    std::array<quint8, kEchoRequestSize> packet{};
    packet[0] = kEchoRequest;
    packet[1] = 0;
    putLittleEndian16(&packet[4], identifier);
    putLittleEndian16(&packet[6], sequence);
    putLittleEndian16(&packet[8], quint16(tick));
    putLittleEndian16(&packet[10], quint16(tick >> 16));
    for (std::size_t i = 0; i < kPayloadSize; ++i) {
        packet[kPayloadOffset + i] = i < std::size_t(payload.size()) ? quint8(payload[qsizetype(i)]) : kPayloadFiller;
    }
    putBigEndian16(&packet[2], checksum(packet));
    return packet;
}

Answer readAnswer(std::span<const quint8> datagram)
{
    const std::size_t n = datagram.size();
    const std::size_t h = n > 0 ? std::size_t(datagram[0] & 0x0f) * 4 : 0;
    // A header shorter than 20 bytes is no IPv4 header; its TTL and source would lie past it.
    if (n < qMax(h, kIpHeaderSize) + 8)
        throw AppError(QStringLiteral("Not enough bytes received"));

    Answer answer;
    answer.type = datagram[h];
    answer.timeToLive = datagram[8];
    answer.source =
        (quint32(datagram[12]) << 24) | (quint32(datagram[13]) << 16) | (quint32(datagram[14]) << 8) | datagram[15];
    auto wordAt = [&](std::size_t at) -> std::optional<quint16> {
        if (at + 2 > n)
            return std::nullopt;
        return quint16(datagram[at] | (datagram[at + 1] << 8));
    };
    switch (answer.type) {
    case kEchoReply:
    case kEchoRequest:
        answer.status = ReplyStatusType::Echo;
        answer.sequence = wordAt(h + 6);
        answer.identifier = wordAt(h + 4);
        break;
    case kDestinationUnreachable:
    case kTimeExceeded:
        answer.status =
            answer.type == kDestinationUnreachable ? ReplyStatusType::Unreachable : ReplyStatusType::TtlExceeded;
        answer.sequence = wordAt(2 * h + 14);
        answer.identifier = wordAt(2 * h + 12);
        break;
    default:
        throw AppError(QStringLiteral("Non-echo type response received"));
    }
    return answer;
}

std::size_t frameAnswer(std::span<quint8> buffer, std::size_t icmpSize, quint32 source, quint8 timeToLive)
{
    const std::size_t total = kAnswerOffset + icmpSize;
    Q_ASSERT(total <= buffer.size());
    writeIpHeader(buffer.data(), total, timeToLive, source);
    return total;
}

std::size_t frameErrorReport(std::span<quint8> buffer, std::size_t quotedSize, quint8 type, quint8 code, quint32 source)
{
    const std::size_t total = kQuotedRequestOffset + quotedSize;
    Q_ASSERT(total <= buffer.size());
    writeIpHeader(buffer.data(), total, 0, source);
    quint8* icmp = buffer.data() + kIpHeaderSize;
    std::fill(icmp, icmp + 8, quint8(0));
    icmp[0] = type;
    icmp[1] = code;
    writeIpHeader(icmp + 8, kIpHeaderSize + quotedSize, 0, 0);
    putBigEndian16(icmp + 2, checksum({icmp, total - kIpHeaderSize}));
    return total;
}

std::optional<quint32> parseDottedIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString& part : parts) {
        if (part.isEmpty())
            return std::nullopt;
        uint value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
            value = value * 10 + uint(c.unicode() - '0');
            if (value > 255)
                return std::nullopt;
        }
        address = (address << 8) | value;
    }
    return address;
}

} // namespace IcmpPacket
