#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <optional>

// One IPv4 UDP socket bound to a port on all local addresses, closed when the object goes. The calls
// of the operating system for the network alarms are all here. Broadcast stays off, so that a
// broadcast address as receiver fails instead of reaching a whole network.
//
// One thread may wait and receive while another sends on the same socket; wake() ends a wait early
// from any thread.
class UdpSocket {
public:
    // What one receive gave.
    struct Received {
        std::size_t size = 0;   // bytes placed in the buffer
        bool truncated = false; // the datagram was larger than the buffer; its rest is lost
        quint32 source = 0;     // sender's address, host order
        quint16 sourcePort = 0;
    };

    enum class Wait { Readable, TimedOut, Woken };

    // Binds to the port (0: one the system chooses). Throws SocketError with the system's text.
    static std::unique_ptr<UdpSocket> bind(quint16 port);

    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // The port the socket is bound to.
    quint16 localPort() const;

    // Sends one datagram to the address (host order) and port; returns the bytes that went out.
    // Throws SocketError.
    std::size_t sendTo(const QByteArray& payload, quint32 address, quint16 port);

    // Waits until a datagram can be received, the time runs out or wake() is called. Throws SocketError.
    Wait wait(int timeoutMs);
    void wake();

    // Receives one datagram, or nullopt when none was waiting after all. Throws SocketError.
    std::optional<Received> receive(char* buffer, std::size_t capacity);

private:
    UdpSocket(int handle, int wakeHandle);

    int m_handle;
    int m_wakeHandle;
};
