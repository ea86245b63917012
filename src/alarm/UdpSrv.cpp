#include "alarm/UdpSrv.h"

#include "platform/UdpSocket.h"

#include <QMetaObject>

UdpSrv::UdpSrv(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{}

UdpSrv::~UdpSrv()
{
    close();
}

void UdpSrv::open()
{
    if (m_socket)
        return;
    m_socket = UdpSocket::bind(quint16(m_defaultPort));
    m_stop = false;
    m_thread = std::thread([this, generation = m_generation] { listen(generation); });
}

void UdpSrv::close()
{
    if (!m_socket)
        return;
    m_stop = true;
    m_socket->wake();
    m_thread.join();
    m_socket.reset();
    // A datagram handed over just before the stop and not yet taken is dropped with its listener.
    ++m_generation;
    while (m_handled.tryAcquire()) {
    }
}

int UdpSrv::boundPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

std::size_t UdpSrv::send(const QByteArray& payload, quint32 address, quint16 port)
{
    open();
    return m_socket->sendTo(payload, address, port);
}

void UdpSrv::listen(int generation)
{
    QByteArray buffer(kMaxDatagram, Qt::Uninitialized);
    while (!m_stop) {
        try {
            if (m_socket->wait(kWaitMs) != UdpSocket::Wait::Readable)
                continue;
            // What has arrived meanwhile goes over in one handover: the user-interface thread lets
            // its messages through only now and then during a ping cycle, and one datagram each time
            // would leave the rest of a burst to the kernel's queue, which drops what does not fit.
            QList<Datagram> batch;
            while (batch.size() < kBatch) {
                const auto received = m_socket->receive(buffer.data(), std::size_t(buffer.size()));
                if (!received)
                    break;
                if (!received->truncated)
                    batch.append({QByteArray(buffer.constData(), qsizetype(received->size)), received->source});
            }
            if (batch.isEmpty())
                continue;
            QMetaObject::invokeMethod(
                this, [this, batch, generation] { deliver(batch, generation); }, Qt::QueuedConnection);
            // Waits for the handler; a stop meanwhile ends the wait, and the handover then never runs.
            while (!m_stop && !m_handled.tryAcquire(1, 50)) {
            }
        } catch (const std::exception&) {
            // A failed wait or read drops that datagram; the listener goes on with the next.
        }
    }
}

void UdpSrv::deliver(const QList<Datagram>& batch, int generation)
{
    if (generation != m_generation)
        return;
    for (const Datagram& datagram : batch) {
        if (m_stop)
            break;
        try {
            m_handler(datagram.payload, datagram.sender);
        } catch (...) {
            // What the handler raised ends that datagram's handling, and nothing else.
        }
    }
    m_handled.release();
}
