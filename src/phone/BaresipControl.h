#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTcpSocket>

#include <functional>

class QTimer;

// A client of baresip's control port: netstring-framed JSON commands, each with a token of its own
// and a time limit for its reply, and the events baresip reports in between.
class BaresipControl : public QObject {
    Q_OBJECT
public:
    struct Reply {
        bool answered = false; // false: no reply within the time limit, or the connection went away
        bool ok = false;
        QString data;
    };
    using Handler = std::function<void(const Reply&)>;

    explicit BaresipControl(QObject* parent = nullptr);
    ~BaresipControl() override;

    // Connects to the control port on 127.0.0.1, pumping the message loop for at most `ms`.
    bool connectTo(quint16 port, int ms);
    void disconnectFromPort();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    // Sends a command; `handler` (may be empty) gets its reply, or an unanswered one after `ms`.
    void command(const QString& name, const QString& params, int ms, Handler handler);
    // As command(), and pumps the message loop until the reply is there.
    Reply commandAndWait(const QString& name, const QString& params, int ms);

    // One netstring frame: "<length>:<bytes>,".
    static QByteArray frame(const QByteArray& payload);
    // Takes the complete frames off the front of `buffer`; a buffer that cannot be a frame is cleared.
    static QList<QByteArray> takeFrames(QByteArray& buffer);

signals:
    void event(const QJsonObject& event);
    void lost();

private:
    struct Pending {
        Handler handler;
        QTimer* timer;
    };
    void onReadyRead();
    void finish(const QString& token, const Reply& reply);
    void failAll();

    QTcpSocket m_socket;
    QByteArray m_buffer;
    quint64 m_nextToken = 0;
    QHash<QString, Pending> m_pending;
};
