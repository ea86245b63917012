#include "monitor/IcmpProbe.h"

#include "monitor/EchoAnswer.h"
#include "monitor/IcmpPacket.h"
#include "platform/AppError.h"
#include "platform/HostLookup.h"
#include "platform/SocketError.h"
#include "platform/TerminationFlag.h"
#include "platform/TickClock.h"

#include <QCoreApplication>

namespace {

constexpr quint32 kLoopback = 0x7f000001;

} // namespace

IcmpProbe::IcmpProbe(const TickClock& clock, IcmpSocket::Mode mode)
    : m_clock(clock)
    , m_mode(mode)
    , m_identifier(quint16(QCoreApplication::applicationPid()))
{}

IcmpProbe::IcmpProbe()
    : IcmpProbe(TickClock::system())
{}

IcmpProbe::~IcmpProbe() = default;

quint32 IcmpProbe::resolve(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return kLoopback;
    if (const auto address = IcmpPacket::parseDottedIPv4(host))
        return *address;
    return HostLookup::resolveIPv4(host);
}

void IcmpProbe::ping(QByteArrayView payload, quint16 sequence)
{
    if (sequence != 0)
        m_sequence = sequence;
    if (TerminationFlag::isRaised(m_stopHandle))
        throw AppError(kAbandonedText);
    const auto packet = IcmpPacket::buildEchoRequest(m_identifier, m_sequence, m_clock.now(), payload);
    const quint32 start = m_clock.now();
    send(packet);
    ReplyStatus result;
    try {
        result = waitForAnswer();
    } catch (...) {
        // The request went out, so its answer may still come. Reusing this socket and sequence
        // number would let the next request, perhaps to a dead host, take that answer for its own.
        m_socket.reset();
        ++m_sequence;
        throw;
    }
    // The round trip covers the lookup, the send and the whole wait, so a timed-out request
    // records about the receive timeout.
    result.msRoundTripTime = TickClock::elapsed(start, m_clock.now());
    m_result = result;
    m_socket.reset();
    if (onReply)
        onReply(m_result);
    ++m_sequence;
}

void IcmpProbe::send(const std::array<quint8, IcmpPacket::kEchoRequestSize>& packet)
{
    const quint32 address = resolve(m_host);
    if (!m_socket) {
        m_socket = IcmpSocket::open(m_mode);
        if (!m_socket)
            throw AppError(QStringLiteral("Cannot allocate socket."));
        m_lastKind = m_socket->kind();
    }
    m_socket->setTimeToLive(kTimeToLive);
    std::size_t sent = 0;
    try {
        sent = m_socket->sendTo(packet.data(), packet.size(), address);
    } catch (const SocketError& e) {
        if (e.code() == IcmpSocket::messageTooLongCode())
            throw AppError(QStringLiteral("Package Size Too Big."));
        throw;
    }
    if (sent < packet.size())
        throw AppError(QStringLiteral("Not all bytes sent."));
}

ReplyStatus IcmpProbe::waitForAnswer()
{
    ReplyStatus timedOut;
    timedOut.sequenceNumber = m_sequence;
    timedOut.replyStatusType = ReplyStatusType::TimedOut;

    m_buffer.fill(0);
    const quint32 waitStart = m_clock.now();
    qint64 remaining = m_receiveTimeout;
    for (;;) {
        switch (m_socket->waitReadable(int(qMax<qint64>(remaining, 0)), m_stopHandle)) {
        case IcmpSocket::Wait::TimedOut:
            return timedOut;
        case IcmpSocket::Wait::Stopped:
            throw AppError(kAbandonedText);
        case IcmpSocket::Wait::Readable:
            break;
        }
        if (const auto match = receiveOne())
            return *match;
        remaining = qint64(m_receiveTimeout) - qint64(TickClock::elapsed(waitStart, m_clock.now()));
        if (remaining <= 0)
            return timedOut;
    }
}

std::optional<ReplyStatus> IcmpProbe::receiveOne()
{
    return EchoAnswer::receive(*m_socket, m_buffer, m_sequence);
}
