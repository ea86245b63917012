#include "StationLab.h"
#include "alarm/MessengerSender.h"
#include "alarm/NetworkAlarms.h"
#include "alarm/UdpSrv.h"
#include "platform/CodePage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A Samba server in station B of the lab that takes WinPopup messages on port 139 and appends each
// to one file through its message command.
class MessageServer {
public:
    explicit MessageServer(const StationLab& lab)
    {
        ::chmod(m_dir.path().toLocal8Bit().constData(), 0777); // the command runs as the guest account
        const QDir dir(m_dir.path());
        QByteArray conf = "[global]\nserver min protocol = NT1\ndisable netbios = no\nsmb ports = 139\n"
                          "unix charset = GBK\ndos charset = CP936\n";
        for (const char* name :
             {"lock directory", "state directory", "cache directory", "pid directory", "private dir", "ncalrpc dir"}) {
            const QString sub = dir.filePath(QString::fromLatin1(name).section(u' ', 0, 0));
            dir.mkpath(sub);
            conf += QByteArray(name) + " = " + sub.toLocal8Bit() + "\n";
        }
        conf += "log file = " + dir.filePath(QStringLiteral("log")).toLocal8Bit() + "\n";
        conf += "message command = /bin/sh -c '/bin/cat %s >> " + messagesPath().toLocal8Bit() + "; /bin/rm %s' &\n";
        QFile f(dir.filePath(QStringLiteral("smb.conf")));
        f.open(QIODevice::WriteOnly);
        f.write(conf);
        f.close();
        // A session of its own: smbd ends by signalling its whole process group, and would take the
        // test with it.
        m_smbd.setChildProcessModifier([] { ::setsid(); });
        m_smbd.start(QStringLiteral("ip"),
                     {QStringLiteral("netns"), QStringLiteral("exec"),
                      QString::fromStdString(lab.name(StationLab::Station::B)), QStringLiteral("smbd"),
                      QStringLiteral("-F"), QStringLiteral("--no-process-group"), QStringLiteral("-s"), f.fileName()});
        m_smbd.waitForStarted();
    }
    ~MessageServer()
    {
        m_smbd.terminate();
        if (!m_smbd.waitForFinished(10000))
            m_smbd.kill();
    }

    QString messagesPath() const { return QDir(m_dir.path()).filePath(QStringLiteral("messages")); }
    // What the messages file holds once it has `size` bytes (the command runs in the background).
    QByteArray messages(qsizetype size) const
    {
        QByteArray got;
        for (QDeadlineTimer deadline(5000); got.size() < size && !deadline.hasExpired(); QThread::msleep(50)) {
            QFile f(messagesPath());
            got = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }
        return got;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_smbd;
};

} // namespace

TEST(SmbclientMessenger, DeliversTheGbkTextToARealSambaServerAndCutsItAtTheLimit)
{
    if (const std::string why = StationLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    if (QStandardPaths::findExecutable(QStringLiteral("smbd")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("smbclient")).isEmpty())
        GTEST_SKIP() << "Samba's smbd and smbclient are needed (Debian packages samba, smbclient)";
    StationLab lab;
    MessageServer server(lab);
    SmbclientMessenger messenger;
    UdpSrv udp([](const QByteArray&, quint32) {});
    QStringList pane;
    NetworkAlarms alarms({[] { return NetworkAlarms::Settings{}; }, [] { return QStringList(); },
                          [&](const QString& line) { pane << line; }, [] { return QStringLiteral("T "); }},
                         udp, messenger);
    const QString text = QStringLiteral("10.0.0.5:机房断网报警。请查找原因！谢谢！");
    int status = -1;
    lab.runIn(StationLab::Station::A, [&] {
        // smbd takes a moment to listen.
        for (QDeadlineTimer deadline(10000); status != 0 && !deadline.hasExpired(); QThread::msleep(200))
            status = alarms.SendMessengerText(QString::fromLatin1(StationLab::kB), text);
    });
    ASSERT_EQ(status, 0);
    const QByteArray first = CodePage::toGbk(text);
    EXPECT_EQ(server.messages(first.size()), first);

    lab.runIn(StationLab::Station::A, [&] {
        EXPECT_EQ(alarms.SendMessengerText(QString::fromLatin1(StationLab::kB), QString(1200, u'x')), 0);
        pane.clear();
        // Nobody takes messages at A's own address.
        EXPECT_EQ(alarms.SendMessengerText(QString::fromLatin1(StationLab::kA2), text), 1);
    });
    EXPECT_EQ(server.messages(first.size() + 1000), first + QByteArray(1000, 'x'));
    EXPECT_EQ(pane, QStringList{QStringLiteral("T 1信使服务发送失败！请确定是否已打开信使服务！")});

    // Chinese text takes two bytes a character and the client sends a line break as two: what it
    // can carry is cut at a character and arrives whole, never with half a character at its end.
    const struct {
        QString text, delivered;
    } cases[] = {
        {QStringLiteral("x") + QString(999, u'断'), QStringLiteral("x") + QString(798, u'断')},
        {QStringLiteral("\n\n\nx") + QString(797, u'断'), QStringLiteral("\n\n\nx") + QString(795, u'断')},
    };
    qsizetype before = first.size() + 1000;
    for (const auto& c : cases) {
        lab.runIn(StationLab::Station::A,
                  [&] { EXPECT_EQ(alarms.SendMessengerText(QString::fromLatin1(StationLab::kB), c.text), 0); });
        const QByteArray delivered = CodePage::toGbk(c.delivered);
        EXPECT_EQ(server.messages(before + delivered.size() + 1).mid(before), delivered);
        before += delivered.size();
    }
}

TEST(SmbclientMessenger, WithoutSambasClientEverySendFails)
{
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    const int status = SmbclientMessenger().send(QStringLiteral("127.0.0.1"), QStringLiteral("x"));
    qputenv("PATH", path);
    EXPECT_EQ(status, SmbclientMessenger::kNotInstalled);
}
