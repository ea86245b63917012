#include "monitor/ParallelProbe.h"

#include "monitor/IcmpPacket.h"
#include "monitor/IcmpProbe.h"
#include "platform/AppError.h"
#include "platform/SocketError.h"
#include "platform/TickClock.h"

#include <QCoreApplication>

#include <utility>

ParallelProbe::ParallelProbe(const TickClock& clock, IcmpSocket::Mode mode)
    : m_clock(clock)
    , m_mode(mode)
    , m_receiveTimeout(IcmpProbe::kDefaultReceiveTimeout)
    , m_identifier(quint16(QCoreApplication::applicationPid()))
    , m_nextSequence(IcmpProbe::kFirstSequenceNumber)
{}

ParallelProbe::ParallelProbe()
    : ParallelProbe(TickClock::system())
{}

ParallelProbe::~ParallelProbe() = default;

void ParallelProbe::start(int key, const QString& host, int count)
{
    Host& entry = m_hosts[key];
    entry = Host{};
    entry.name = host;
    entry.remaining = qMax(count, 1);
    ++m_busy;
    sendNext(entry);
}

std::optional<std::vector<ParallelProbe::Outcome>> ParallelProbe::takeFinished(int key)
{
    const auto found = m_hosts.find(key);
    if (found == m_hosts.end() || found->second.remaining > 0)
        return std::nullopt;
    std::vector<Outcome> outcomes = std::move(found->second.outcomes);
    m_hosts.erase(found);
    return outcomes;
}

std::optional<int> ParallelProbe::takeRefusal()
{
    return std::exchange(m_refusal, std::nullopt);
}

void ParallelProbe::abandon()
{
    m_hosts.clear();
    m_sequenceInUse.reset();
    m_busy = 0;
    m_open = 0;
}

quint16 ParallelProbe::takeSequence()
{
    while (m_sequenceInUse.test(m_nextSequence))
        ++m_nextSequence;
    m_sequenceInUse.set(m_nextSequence);
    return m_nextSequence++;
}

void ParallelProbe::sendNext(Host& host)
{
    while (host.remaining > 0) {
        try {
            send(host);
            return; // in flight, or waiting for a socket
        } catch (...) {
            end(host, std::nullopt);
        }
    }
}

bool ParallelProbe::send(Host& host)
{
    host.waitingForSocket = false;
    host.sequence = takeSequence();
    const auto packet = IcmpPacket::buildEchoRequest(m_identifier, host.sequence, m_clock.now(), {});
    host.start = m_clock.now();
    const quint32 address = IcmpProbe::resolve(host.name);
    int error = 0;
    host.socket = IcmpSocket::open(m_mode, &error);
    if (!host.socket) {
        if (IcmpSocket::isShortOfResources(error) && m_open > 0) {
            m_sequenceInUse.reset(host.sequence);
            host.waitingForSocket = true;
            m_refusal = m_open;
            return false;
        }
        throw AppError(QStringLiteral("Cannot allocate socket."));
    }
    ++m_open;
    host.socket->acceptOnlyAnswersTo(m_identifier, host.sequence);
    host.socket->setTimeToLive(IcmpProbe::kTimeToLive);
    std::size_t sent = 0;
    try {
        sent = host.socket->sendTo(packet.data(), packet.size(), address);
    } catch (const SocketError& e) {
        if (e.code() == IcmpSocket::messageTooLongCode())
            throw AppError(QStringLiteral("Package Size Too Big."));
        throw;
    }
    if (sent < packet.size())
        throw AppError(QStringLiteral("Not all bytes sent."));
    host.waitStart = m_clock.now();
    return true;
}

void ParallelProbe::end(Host& host, Outcome outcome)
{
    if (host.socket) {
        host.socket.reset();
        --m_open;
    }
    m_sequenceInUse.reset(host.sequence);
    host.outcomes.push_back(std::move(outcome));
    if (--host.remaining == 0)
        --m_busy;
}

ReplyStatus ParallelProbe::timedOut(const Host& host) const
{
    // The whole receive timeout, never the time the caller spent elsewhere before it found out.
    ReplyStatus status;
    status.sequenceNumber = host.sequence;
    status.replyStatusType = ReplyStatusType::TimedOut;
    status.msRoundTripTime = quint32(qMax(m_receiveTimeout, 0));
    return status;
}

void ParallelProbe::receive(Host& host)
{
    // On a raw socket the identifier is ours; on a datagram socket the system's, and it has
    // already sorted the traffic by it.
    const std::optional<quint16> identifier =
        host.socket->kind() == IcmpSocket::Kind::Raw ? std::optional<quint16>(m_identifier) : std::nullopt;
    Outcome outcome;
    try {
        // Everything that queued while the caller was elsewhere is read now: the answer may sit
        // behind another request's datagram.
        for (;;) {
            outcome = EchoAnswer::receive(*host.socket, m_buffer, host.sequence, identifier);
            const std::optional<quint32> arrival = host.socket->roundTripOfLastReceived();
            if (arrival && qint64(*arrival) > m_receiveTimeout) {
                outcome = timedOut(host); // it, and all that queued behind it, came too late
                break;
            }
            if (outcome) {
                // Without the system's stamp, the moment of reading is the best there is.
                outcome->msRoundTripTime = arrival ? *arrival : TickClock::elapsed(host.start, m_clock.now());
                break;
            }
            if (host.socket->waitReadable(0) != IcmpSocket::Wait::Readable)
                return; // another request's; the wait goes on
        }
    } catch (...) {
        outcome.reset();
    }
    end(host, std::move(outcome));
    sendNext(host);
}

void ParallelProbe::advance(int ms)
{
    for (auto& [key, host] : m_hosts) {
        if (host.waitingForSocket) {
            sendNext(host);
            if (host.waitingForSocket)
                break; // still none to be had: the later ones wait too
        }
    }

    std::vector<Host*> waiting;
    std::vector<IcmpSocket*> sockets;
    qint64 wait = ms;
    const quint32 now = m_clock.now();
    for (auto& [key, host] : m_hosts) {
        if (!host.socket)
            continue;
        waiting.push_back(&host);
        sockets.push_back(host.socket.get());
        wait = qMin(wait, qint64(m_receiveTimeout) - qint64(TickClock::elapsed(host.waitStart, now)));
    }
    if (waiting.empty())
        return;

    const IcmpSocket::Readiness ready = IcmpSocket::waitAnyReadable(sockets, int(qMax<qint64>(wait, 0)), m_stopHandle);
    for (const std::size_t i : ready.readable)
        receive(*waiting[i]);

    const quint32 later = m_clock.now();
    for (Host* host : waiting) {
        // A host that moved on to its next request has a fresh wait start.
        if (!host->socket || qint64(TickClock::elapsed(host->waitStart, later)) < m_receiveTimeout)
            continue;
        end(*host, timedOut(*host));
        sendNext(*host);
    }
}
