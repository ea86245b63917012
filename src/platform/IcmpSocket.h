#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// One IPv4 ICMP socket, closed when the object goes. The calls of the operating system for the
// echo probe are all here, so that another platform needs only another IcmpSocket.cpp.
//
// A raw socket (type raw, protocol ICMP) sees every ICMP message of the host with its IP header.
// Where the account may not open one, Linux offers the ICMP datagram socket instead: it carries
// only echo requests and their replies, hands them over without the IP header, owns the
// identifier of the request itself, and reports destination unreachable and time exceeded through
// the socket's error queue. The probe turns both back into what a raw socket would have given.
class IcmpSocket {
public:
    enum class Kind { Raw, Datagram };
    enum class Mode {
        RawThenDatagram, // raw; the datagram kind when the system refuses raw sockets to this account
        RawOnly,
        DatagramOnly,
    };

    // What one receive gave.
    struct Received {
        std::size_t size = 0;       // bytes placed in the buffer
        quint32 source = 0;         // sender (for an error report: the host that sent the ICMP error), host order
        int timeToLive = -1;        // datagram kind: TTL of the answer when the system tells it, else -1
        bool isErrorReport = false; // datagram kind: an ICMP error about our request; the buffer holds
                                    // the ICMP message we sent, as quoted by the reporting host
        quint8 errorType = 0;
        quint8 errorCode = 0;
    };

    // Nanoseconds on the system's real-time clock, the clock of the kernel's receive stamps.
    using Nanoseconds = qint64;

    // Nullptr when no socket could be opened; *systemError then holds the system's error code.
    static std::unique_ptr<IcmpSocket> open(Mode mode, int* systemError = nullptr);

    ~IcmpSocket();
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    Kind kind() const { return m_kind; }

    // IP time to live of what is sent. Throws SocketError.
    void setTimeToLive(int ttl);

    // Sends the ICMP message to the address (host order), port 0; returns the bytes that went out.
    // Throws SocketError; its code is messageTooLongCode() when the message is too long to send.
    // The moment of sending is kept for roundTripOfLastReceived().
    std::size_t sendTo(const quint8* data, std::size_t size, quint32 address);

    // Milliseconds from the latest send to the moment the datagram received last reached the
    // socket, as the kernel stamped it on arrival: however late the program gets round to reading
    // it, the time is the network's. Nullopt when nothing was sent or the system gave no stamp.
    std::optional<quint32> roundTripOfLastReceived() const;

    enum class Wait { Readable, TimedOut, Stopped };

    // Waits until something can be received, the time runs out, or `stopHandle` (-1: none) becomes
    // readable, whichever comes first. Throws SocketError.
    Wait waitReadable(int timeoutMs, int stopHandle = -1);

    // Receives one datagram (datagram kind: an error report first, if one is waiting). Nullopt when
    // the socket was readable but held nothing for the caller (an error without an ICMP origin, or
    // one already taken). Throws SocketError.
    std::optional<Received> receive(quint8* buffer, std::size_t capacity);

    static int messageTooLongCode();

    // Whether an error code of open() says that the system has no descriptor or buffer left for
    // another socket (rather than refusing ICMP sockets to this account).
    static bool isShortOfResources(int systemError);

    // Raw kind: from now on the system hands this socket only the echo messages that carry the
    // identifier and sequence number (as the echo request has them, least significant byte first),
    // the error reports that quote such a request, and ICMP messages of any other type; the rest of
    // the host's ICMP traffic is not queued here. Throws SocketError.
    void acceptOnlyAnswersTo(quint16 identifier, quint16 sequence);

    struct Readiness {
        std::vector<std::size_t> readable; // indexes into the sockets waited on
        bool stopped = false;              // the stop handle became readable
    };
    // Waits until at least one of the sockets can receive, `stopHandle` (-1: none) becomes
    // readable, or the time runs out (nothing readable). Throws SocketError.
    static Readiness waitAnyReadable(std::span<IcmpSocket* const> sockets, int timeoutMs, int stopHandle = -1);

private:
    IcmpSocket(int handle, Kind kind);

    int m_handle;
    Kind m_kind;
    std::optional<Nanoseconds> m_sentAt;
    std::optional<Nanoseconds> m_lastArrival;
};
