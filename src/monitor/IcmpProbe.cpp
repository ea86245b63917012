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
        result = waitForAnswer(start);
    } catch (...) {
        // The request went out, so its answer may still come. Reusing this socket and sequence
        // number would let the next request, perhaps to a dead host, take that answer for its own.
        m_socket.reset();
        ++m_sequence;
        throw;
    }
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

ReplyStatus IcmpProbe::waitForAnswer(quint32 start)
{
    // A timed-out request records the whole receive timeout, never the time the program spent
    // elsewhere before it found out.
    ReplyStatus timedOut;
    timedOut.sequenceNumber = m_sequence;
    timedOut.replyStatusType = ReplyStatusType::TimedOut;
    timedOut.msRoundTripTime = quint32(qMax(m_receiveTimeout, 0));

    m_buffer.fill(0);
    const quint32 waitStart = m_clock.now();
    quint32 lastStep = waitStart;
    auto elapsed = [&] { return qint64(TickClock::elapsed(waitStart, m_clock.now())); };
    auto step = [&] {
        if (!m_waitStep)
            return;
        m_waitStep();
        lastStep = m_clock.now();
    };
    for (;;) {
        // Once the time is up the socket is still read: what reached it in time counts.
        const qint64 remaining = qMax<qint64>(qint64(m_receiveTimeout) - elapsed(), 0);
        const qint64 slice = m_waitStep ? qMin<qint64>(remaining, kWaitStepInterval) : remaining;
        switch (m_socket->waitReadable(int(slice), m_stopHandle)) {
        case IcmpSocket::Wait::TimedOut:
            if (elapsed() >= m_receiveTimeout)
                return timedOut;
            step();
            continue;
        case IcmpSocket::Wait::Stopped:
            throw AppError(kAbandonedText);
        case IcmpSocket::Wait::Readable:
            break;
        }
        std::optional<ReplyStatus> match = EchoAnswer::receive(*m_socket, m_buffer, m_sequence);
        const std::optional<quint32> arrival = m_socket->roundTripOfLastReceived();
        if (arrival && qint64(*arrival) > m_receiveTimeout)
            return timedOut; // it, and all that queued behind it, came too late
        if (match) {
            // Without the system's stamp, the moment of reading is the best there is.
            match->msRoundTripTime = arrival ? *arrival : TickClock::elapsed(start, m_clock.now());
            return *match;
        }
        if (!arrival && elapsed() >= m_receiveTimeout)
            return timedOut;
        if (TickClock::elapsed(lastStep, m_clock.now()) >= quint32(kWaitStepInterval))
            step(); // a stream of other traffic does not hold the window up either
    }
}
