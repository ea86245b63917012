#include "phone/BaresipControl.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {
// A frame longer than this is no control message: the stream is out of step.
constexpr qsizetype kMaxFrame = 1 << 20;

// baresip writes an event and a reply back to back; without a quick acknowledgement the second one
// waits for the delayed ACK (up to 40 ms).
void ackQuickly(QTcpSocket& socket)
{
#ifdef Q_OS_LINUX
    const int on = 1;
    setsockopt(int(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    Q_UNUSED(socket);
#endif
}
} // namespace

BaresipControl::BaresipControl(QObject* parent)
    : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &BaresipControl::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        failAll();
        emit lost();
    });
}

BaresipControl::~BaresipControl()
{
    m_socket.disconnect(this);
    failAll();
}

bool BaresipControl::connectTo(quint16 port, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        m_socket.abort();
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (m_socket.waitForConnected(std::max<int>(50, ms - int(clock.elapsed()))))
            return true;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_socket.abort();
    return false;
}

void BaresipControl::disconnectFromPort()
{
    m_socket.abort();
    failAll();
}

QByteArray BaresipControl::frame(const QByteArray& payload)
{
    return QByteArray::number(payload.size()) + ':' + payload + ',';
}

QList<QByteArray> BaresipControl::takeFrames(QByteArray& buffer)
{
    QList<QByteArray> frames;
    while (!buffer.isEmpty()) {
        const qsizetype colon = buffer.indexOf(':');
        if (colon < 0) {
            if (buffer.size() > 10)
                buffer.clear();
            break;
        }
        bool ok = false;
        const qsizetype length = buffer.left(colon).toLongLong(&ok);
        if (!ok || length < 0 || length > kMaxFrame || colon == 0) {
            buffer.clear();
            break;
        }
        if (buffer.size() < colon + 1 + length + 1)
            break;
        if (buffer.at(colon + 1 + length) != ',') {
            buffer.clear();
            break;
        }
        frames.append(buffer.mid(colon + 1, length));
        buffer.remove(0, colon + 1 + length + 1);
    }
    return frames;
}

void BaresipControl::command(const QString& name, const QString& params, int ms, Handler handler)
{
    const QString token = QStringLiteral("t%1").arg(++m_nextToken);
    QJsonObject message{{QStringLiteral("command"), name}, {QStringLiteral("token"), token}};
    // Parameters always go as a string: baresip crashes on anything else.
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    if (!isConnected()) {
        if (handler)
            QTimer::singleShot(0, this, [handler] { handler(Reply{}); });
        return;
    }
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, token] { finish(token, Reply{}); });
    timer->start(ms);
    m_pending.insert(token, {std::move(handler), timer});
    m_socket.write(frame(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

BaresipControl::Reply BaresipControl::commandAndWait(const QString& name, const QString& params, int ms)
{
    Reply result;
    bool done = false;
    QEventLoop loop;
    command(name, params, ms, [&](const Reply& reply) {
        result = reply;
        done = true;
        loop.quit();
    });
    if (!done)
        loop.exec();
    return result;
}

void BaresipControl::onReadyRead()
{
    m_buffer.append(m_socket.readAll());
    ackQuickly(m_socket);
    for (const QByteArray& payload : takeFrames(m_buffer)) {
        const QJsonObject message = QJsonDocument::fromJson(payload).object();
        if (message.value(QStringLiteral("event")).toBool()) {
            emit event(message);
        } else if (message.value(QStringLiteral("response")).toBool()) {
            finish(
                message.value(QStringLiteral("token")).toString(),
                {true, message.value(QStringLiteral("ok")).toBool(), message.value(QStringLiteral("data")).toString()});
        }
    }
}

void BaresipControl::finish(const QString& token, const Reply& reply)
{
    const auto it = m_pending.find(token);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    pending.timer->deleteLater();
    if (pending.handler)
        pending.handler(reply);
}

void BaresipControl::failAll()
{
    const QStringList tokens = m_pending.keys();
    for (const QString& token : tokens)
        finish(token, Reply{});
}
