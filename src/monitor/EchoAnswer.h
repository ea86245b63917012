#pragma once

#include "monitor/IcmpPacket.h"
#include "monitor/ReplyStatus.h"

#include <array>
#include <optional>

class IcmpSocket;

namespace EchoAnswer {

using Buffer = std::array<quint8, IcmpPacket::kReceiveBufferSize>;

// Receives one datagram from a readable socket and reads it as the answer to the echo request
// with the sequence number, and with the identifier where one is given (a raw socket sees the
// answers of every request of the host; a datagram socket only its own). Nullopt when the datagram
// belongs to another request; a ReplyStatus without round-trip time when it is the answer.
// Throws what IcmpSocket::receive and IcmpPacket::readAnswer throw.
std::optional<ReplyStatus> receive(IcmpSocket& socket, Buffer& buffer, quint16 sequence,
                                   std::optional<quint16> identifier = std::nullopt);

} // namespace EchoAnswer
