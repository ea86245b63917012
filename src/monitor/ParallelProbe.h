#pragma once

#include "monitor/EchoAnswer.h"
#include "monitor/ReplyStatus.h"
#include "platform/IcmpSocket.h"

#include <QString>

#include <bitset>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class TickClock;

// Echo requests to many hosts at the same time. Each host gets its echo requests one after the
// other, as from IcmpProbe: the same packet, time to live, receive timeout and statuses, and a
// socket of its own for every request. No two requests in flight share a sequence number; an
// answer or error report counts only for the request whose sequence number (and, on a raw socket,
// identifier) it carries, and a raw socket is told to queue nothing else. On the datagram socket
// the system hands every socket only its own traffic.
//
// As with IcmpProbe, a round trip ends when the answer reached its socket, and a request times out
// when none reached it in time, however long the caller kept from calling advance().
//
// Nothing here waits longer than the caller allows, so that the caller can let the window handle
// its messages between the steps.
class ParallelProbe {
public:
    // How one echo request ended: the result of a completed request (round-trip time included),
    // or nothing when it raised an error (which IcmpProbe would have thrown).
    using Outcome = std::optional<ReplyStatus>;

    explicit ParallelProbe(const TickClock& clock, IcmpSocket::Mode mode = IcmpSocket::Mode::RawThenDatagram);
    ParallelProbe();
    ~ParallelProbe();

    // Longest wait for each answer, in ms. The monitor keeps 5000; tests shorten it.
    void setReceiveTimeout(int ms) { m_receiveTimeout = ms; }

    // A handle whose becoming readable cuts a wait in advance() short. -1: none.
    void setStopHandle(int handle) { m_stopHandle = handle; }

    // Starts `count` echo requests to the host, one after the other, under a key of the caller's.
    void start(int key, const QString& host, int count);

    // Waits at most `ms` for answers and timeouts; every host whose request ended sends its next.
    void advance(int ms);

    // Hosts whose echo requests have not all ended.
    int busy() const { return m_busy; }

    // The outcomes of a host whose echo requests have all ended, in the order sent; the host is
    // then forgotten. Nullopt while it is still busy or when the key is unknown.
    std::optional<std::vector<Outcome>> takeFinished(int key);

    // When the system refused a socket for want of descriptors or buffers while others were open,
    // the request waited for one of them to close: the number open at that moment, once.
    std::optional<int> takeRefusal();

    // Closes every socket and forgets every host.
    void abandon();

private:
    struct Host {
        QString name;
        int remaining = 0;
        std::vector<Outcome> outcomes;
        std::unique_ptr<IcmpSocket> socket;
        bool waitingForSocket = false;
        quint16 sequence = 0;
        quint32 start = 0;     // before the lookup and the send: the round trip where the system gives no stamp
        quint32 waitStart = 0; // after the send: the receive timeout counts from here
    };

    void sendNext(Host& host);
    bool send(Host& host); // false when the request waits for a socket
    void receive(Host& host);
    ReplyStatus timedOut(const Host& host) const;
    void end(Host& host, Outcome outcome);
    quint16 takeSequence();

    const TickClock& m_clock;
    IcmpSocket::Mode m_mode;
    int m_receiveTimeout;
    int m_stopHandle = -1;
    quint16 m_identifier;
    quint16 m_nextSequence;
    std::bitset<65536> m_sequenceInUse;
    std::map<int, Host> m_hosts;
    int m_busy = 0;
    int m_open = 0;
    std::optional<int> m_refusal;
    EchoAnswer::Buffer m_buffer{};
};
