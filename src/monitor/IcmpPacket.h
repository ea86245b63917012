#pragma once

#include "monitor/ReplyStatus.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <span>

// The echo request as it goes on the wire and the reading of what comes back: plain functions
// over bytes. Identifier, sequence number and tick count are written least significant byte
// first, as the monitor has always sent them, and read back the same way.
namespace IcmpPacket {

constexpr std::size_t kEchoRequestSize = 52;
constexpr std::size_t kPayloadOffset = 20;
constexpr std::size_t kPayloadSize = 32;
constexpr quint8 kPayloadFiller = 0x45; // "E"
constexpr std::size_t kReceiveBufferSize = 1024;

constexpr quint8 kEchoReply = 0;
constexpr quint8 kDestinationUnreachable = 3;
constexpr quint8 kEchoRequest = 8;
constexpr quint8 kTimeExceeded = 11;

// Internet checksum (RFC 1071) of the bytes, as the 16-bit value whose high byte is stored first.
// A trailing odd byte counts as the high byte of a word whose low byte is zero.
quint16 checksum(std::span<const quint8> bytes);

// The 52-byte echo request: type 8, code 0, checksum, identifier, sequence number, tick count,
// eight zeros, then the payload bytes followed by "E" up to 32 bytes (a longer payload is cut).
std::array<quint8, kEchoRequestSize> buildEchoRequest(quint16 identifier, quint16 sequence, quint32 tick,
                                                      QByteArrayView payload);

// What one received IP datagram says.
struct Answer {
    ReplyStatusType status = ReplyStatusType::TimedOut;
    quint8 type = 0;
    std::optional<quint16> sequence;   // absent when an error message quotes too little of the request
    std::optional<quint16> identifier; // read like the sequence number, from the same message
    quint8 timeToLive = 0;
    quint32 source = 0; // host order
};

// Reads an IP datagram with its header. Throws AppError "Not enough bytes received" when it is
// shorter than its IP header plus 8 bytes, and "Non-echo type response received" for an ICMP type
// other than 0, 3, 8 and 11. An echo's sequence number is at header + 6; that of the request quoted
// in an unreachable or time-exceeded message at twice the header + 14 (the quoted header being
// taken to be as long as the outer one); the identifier two bytes before each.
Answer readAnswer(std::span<const quint8> datagram);

// The datagram kind of socket gives answers without IP header. These put a plain 20-byte header in
// front, so that readAnswer sees what a raw socket would have received.
constexpr std::size_t kAnswerOffset = 20;        // where the ICMP answer is to be received
constexpr std::size_t kQuotedRequestOffset = 48; // where the quoted request of an error report goes

// The ICMP answer of `icmpSize` bytes lies at kAnswerOffset; writes the IP header before it and
// returns the size of the whole datagram.
std::size_t frameAnswer(std::span<quint8> buffer, std::size_t icmpSize, quint32 source, quint8 timeToLive);

// The request quoted by an error report lies at kQuotedRequestOffset; writes the outer IP header,
// the ICMP error header and the quoted IP header before it and returns the size of the whole datagram.
std::size_t frameErrorReport(std::span<quint8> buffer, std::size_t quotedSize, quint8 type, quint8 code,
                             quint32 source);

// "a.b.c.d" with four decimal numbers from 0 to 255; nullopt for anything else.
std::optional<quint32> parseDottedIPv4(const QString& text);

} // namespace IcmpPacket
