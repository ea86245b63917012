#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// A session bus of the test's own, and on it a notification server that records what it is asked
// to show, as the desktop's would show it.
class NotificationServer : public QDBusVirtualObject {
public:
    struct Shown {
        QString app;
        QString summary;
        QString body;
    };

    NotificationServer()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return;
        address = QString::fromUtf8(m_daemon.readLine().trimmed());
        QDBusConnection bus = QDBusConnection::connectToBus(address, kConnection);
        if (bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
            bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
        registered = bus.isConnected();
    }
    ~NotificationServer() override
    {
        QDBusConnection::disconnectFromBus(kConnection);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == QStringLiteral("Notify") && message.arguments().size() == 8) {
            const QList<QVariant> args = message.arguments();
            shown.push_back({args[0].toString(), args[3].toString(), args[4].toString()});
            connection.send(message.createReply(QVariant::fromValue(uint(shown.size()))));
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        }
        return true;
    }

    QString address;
    bool registered = false;
    std::vector<Shown> shown;

private:
    static inline const QString kConnection = QStringLiteral("notification-server");
    QProcess m_daemon;
};

// Handles events (the server's calls among them) until the condition holds or the time is up.
template <typename Condition>
bool waitFor(Condition condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

// Headless there is no notification area, so the notices go to the desktop's service: one for the
// cycle (every loopback address is slow against a threshold of 0 ms), one for the first received
// alarm; a second received within the minute waits. With the switch off, none.
TEST(DesktopNotification, ReachesTheSessionsNotificationServerWithTheAddresses)
{
    for (const bool on : {true, false}) {
        NotificationServer server;
        ASSERT_TRUE(server.registered) << "no bus of the test's own";
        QTemporaryDir dir;
        QString list;
        for (int host = 1; host <= 5; ++host)
            list += QStringLiteral("127.0.0.%1:本地%1\r\n").arg(host);
        const quint16 port = freeUdpPort();
        for (const auto& [name, bytes] :
             {std::pair{QStringLiteral("Ip.txt"), CodePage::toGbk(list)},
              std::pair{QStringLiteral("Para.ini"), QStringLiteral("[NetPara]\r\nRecPort=%1\r\n[PingPara]\r\nRTT=0\r\n"
                                                                   "Notify=%2\r\n")
                                                        .arg(port)
                                                        .arg(on ? 1 : 0)
                                                        .toLatin1()}}) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QProcess monitor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), server.address);
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                      {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()});
        QByteArray out;
        EXPECT_TRUE(waitFor(
            [&] {
                out += monitor.readAllStandardOutput();
                return out.contains("Ping结束。");
            },
            30000));
        QUdpSocket sender;
        for (const QString& text : {QStringLiteral("10.0.0.9:远方机房=0%,0"), QStringLiteral("10.0.0.8:远方仓库=0%,0")})
            sender.writeDatagram(CodePage::toGbk(text), QHostAddress::LocalHost, port);
        waitFor([&] { return server.shown.size() >= 2; }, on ? 10000 : 2000);
        waitFor([] { return false; }, 1000); // a notice that should not come has its time to come
        ::kill(pid_t(monitor.processId()), SIGTERM);
        EXPECT_TRUE(monitor.waitForFinished(15000));
        if (!on) {
            EXPECT_TRUE(server.shown.empty());
            continue;
        }
        ASSERT_EQ(server.shown.size(), 2u) << monitor.readAllStandardError().constData();
        EXPECT_EQ(server.shown[0].app, QStringLiteral("tarnwicker"));
        EXPECT_EQ(server.shown[0].summary, QStringLiteral("Ping检测报警"));
        EXPECT_EQ(server.shown[0].body,
                  QStringLiteral("127.0.0.1:本地1、127.0.0.2:本地2、127.0.0.3:本地3等，共5个地址"));
        EXPECT_EQ(server.shown[1].summary, QStringLiteral("收到其他检测站的报警"));
        EXPECT_EQ(server.shown[1].body, QStringLiteral("10.0.0.9:远方机房，共1个地址"));
    }
}
