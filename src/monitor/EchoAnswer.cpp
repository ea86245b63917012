#include "monitor/EchoAnswer.h"

#include "platform/HostLookup.h"
#include "platform/IcmpSocket.h"

#include <cstring>

std::optional<ReplyStatus> EchoAnswer::receive(IcmpSocket& socket, Buffer& buffer, quint16 sequence,
                                               std::optional<quint16> identifier)
{
    std::size_t n = 0;
    quint8 datagramTtl = 0;
    if (socket.kind() == IcmpSocket::Kind::Raw) {
        const auto got = socket.receive(buffer.data(), buffer.size());
        if (!got)
            return std::nullopt;
        n = got->size;
    } else {
        // Received where an error report's quoted request belongs; a plain answer moves down to
        // where the ICMP message of an IP datagram starts.
        constexpr std::size_t at = IcmpPacket::kQuotedRequestOffset;
        const auto got = socket.receive(buffer.data() + at, buffer.size() - at);
        if (!got)
            return std::nullopt;
        if (got->isErrorReport) {
            n = IcmpPacket::frameErrorReport(buffer, got->size, got->errorType, got->errorCode, got->source);
        } else {
            std::memmove(buffer.data() + IcmpPacket::kAnswerOffset, buffer.data() + at, got->size);
            datagramTtl = quint8(qMax(got->timeToLive, 0));
            n = IcmpPacket::frameAnswer(buffer, got->size, got->source, datagramTtl);
        }
    }
    if (n == 0) {
        ReplyStatus none;
        none.sequenceNumber = sequence;
        return none;
    }
    const IcmpPacket::Answer answer = IcmpPacket::readAnswer({buffer.data(), n});
    if (!answer.sequence || *answer.sequence != sequence)
        return std::nullopt;
    if (identifier && answer.identifier != identifier)
        return std::nullopt;
    ReplyStatus result;
    result.bytesReceived = int(n);
    result.fromIpAddress = HostLookup::dotted(answer.source);
    result.msgType = answer.type;
    result.sequenceNumber = *answer.sequence;
    result.timeToLive = answer.timeToLive;
    result.replyStatusType = answer.status;
    return result;
}
