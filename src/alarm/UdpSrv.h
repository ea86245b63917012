#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSemaphore>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class UdpSocket;

// The UDP listener of the network alarms: one socket bound to the network alarm port on all local
// addresses, which also sends every alarm datagram (so their source port is that port), and a
// thread that receives on it.
//
// The thread waits in steps of kWaitMs, reads one datagram of up to kMaxDatagram bytes at a time and
// hands what has arrived (up to kBatch datagrams) to the handler on the thread that created the
// listener (the user-interface thread), waiting until the handler has finished there: datagrams are
// handled strictly one after the other, in arrival order, and while that thread is busy the rest
// wait in the socket's queue. A larger
// datagram and a failed read are dropped without a word, and so is whatever the handler throws.
class UdpSrv : public QObject {
    Q_OBJECT
public:
    static constexpr int kWaitMs = 1000;
    static constexpr int kMaxDatagram = 8192;
    static constexpr int kBatch = 64; // datagrams handed over at once, at most

    using Handler = std::function<void(const QByteArray& payload, quint32 sender)>;

    explicit UdpSrv(Handler handler, QObject* parent = nullptr);
    ~UdpSrv() override;

    // The network alarm port, set at start-up; it takes effect at the next open().
    int defaultPort() const { return m_defaultPort; }
    void setDefaultPort(int port) { m_defaultPort = port; }

    // Binds the socket at the default port and starts the listener. Throws SocketError with the
    // system's text when the port cannot be bound; the listener then stays closed.
    void open();
    bool isOpen() const { return bool(m_socket); }
    // Tells the thread to stop, waits for it (at most one wait step) and closes the socket.
    void close();

    // The port the socket is bound to (differs from the default port only for port 0), 0 when closed.
    int boundPort() const;

    // Sends one datagram from the listener's socket; returns the bytes that went out. Opens the
    // listener first when it is not open. Throws SocketError.
    std::size_t send(const QByteArray& payload, quint32 address, quint16 port);

private:
    struct Datagram {
        QByteArray payload;
        quint32 sender;
    };

    void listen(int generation);
    void deliver(const QList<Datagram>& batch, int generation);

    Handler m_handler;
    int m_defaultPort = 0;
    std::unique_ptr<UdpSocket> m_socket;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_generation = 0; // counts the closes; a handover of an earlier listener is not delivered
    QSemaphore m_handled;
};
