#include "MailSink.h"
#include "PeerSocket.h"
#include "StationLab.h"
#include "platform/CodePage.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A monitor running headless in a namespace; its information pane arrives on standard output.
class MonitorIn {
public:
    MonitorIn(const std::string& netns, const QString& dataDir)
    {
        m_process.start(QStringLiteral("ip"),
                        {QStringLiteral("netns"), QStringLiteral("exec"), QString::fromStdString(netns),
                         QStringLiteral(TW_BINARY_DIR "/tarnwicker"), QStringLiteral("--headless"),
                         QStringLiteral("--data-dir"), dataDir});
    }
    ~MonitorIn()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

    // Waits until a pane line contains the text, at most `ms`; returns that line (empty if none).
    QString waitFor(const QString& text, int ms = 15000)
    {
        QDeadlineTimer deadline(ms);
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
                m_lines << line;
                if (line.contains(text))
                    return line;
            }
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return QString();
            m_process.waitForReadyRead(100);
        }
    }
    const QStringList& lines() const { return m_lines; }

private:
    QProcess m_process;
    QStringList m_lines;
};

} // namespace

// Station B is a real monitor on port 44444; station A is a test peer on the same port, and also the
// receiver 192.0.2.3 of B's list.
TEST(NetworkStations, AlarmsGoBetweenStationsAsGbkDatagramsAndReceivedOnesAreRelayedAndMailed)
{
    if (const std::string why = StationLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    if (!MailSink::available())
        GTEST_SKIP() << "/usr/bin/python3 has no aiosmtpd (Debian package python3-aiosmtpd)";
    StationLab lab;
    std::unique_ptr<PeerSocket> peer;
    std::unique_ptr<PeerSocket> listed;
    lab.runIn(StationLab::Station::A, [&] {
        peer = std::make_unique<PeerSocket>("0.0.0.0", 44444);
        listed = std::make_unique<PeerSocket>(StationLab::kA2, 5000);
    });
    MailSink sink(QString::fromStdString(lab.name(StationLab::Station::B)));
    ASSERT_NE(sink.port(), 0);
    QTemporaryDir dir;
    // 198.51.100.7 has no route from B: the first cycle raises a Break alarm.
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(QStringLiteral("198.51.100.7:远端\r\n")));
    writeFile(dir.filePath(QStringLiteral("RecIp.txt")), "192.0.2.3\r\n");
    writeFile(dir.filePath(QStringLiteral("Para.ini")),
              "[PingPara]\r\nA3=1\r\nA4=1\r\nPingCount=1\r\n[NetPara]\r\nUseMess=0\r\n" + sink.settings());
    MonitorIn b(lab.name(StationLab::Station::B), dir.path());

    // The first cycle's alarm already goes out from the alarm port, as the exact GBK text.
    auto own = peer->receive(20000);
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->payload, CodePage::toGbk(QStringLiteral("198.51.100.7:远端断网报警。请查找原因！谢谢！")));
    EXPECT_EQ(own->source, StationLab::kB);
    EXPECT_EQ(own->sourcePort, 44444);
    EXPECT_EQ(own->destination, StationLab::kA2);
    ASSERT_FALSE(b.waitFor(QStringLiteral("Ping结束。")).isEmpty());
    const int mailsOfTheCycle = sink.mailCount();
    EXPECT_EQ(mailsOfTheCycle, 1);

    // A datagram from a listed receiver is dropped; the one after it from A's other address is not.
    ASSERT_TRUE(listed->sendTo(CodePage::toGbk(QStringLiteral("dropped")), StationLab::kB, 44444));
    const QString text = QStringLiteral("10.0.0.5:机房断网报警。请查找原因！谢谢！");
    ASSERT_TRUE(peer->sendTo(CodePage::toGbk(text), StationLab::kB, 44444));
    const QString shown = b.waitFor(text);
    EXPECT_EQ(shown.size(), 23 + text.size()) << shown.toStdString(); // time stamp prefix and the whole text
    auto relayed = peer->receive(10000);
    ASSERT_TRUE(relayed.has_value());
    EXPECT_EQ(relayed->payload, CodePage::toGbk(text + QStringLiteral("的网络报警。请查找原因！谢谢！")));
    EXPECT_EQ(relayed->sourcePort, 44444);
    EXPECT_FALSE(b.waitFor(QStringLiteral("已通过UDP方式向192.0.2.3发送报警信息！")).isEmpty());
    EXPECT_FALSE(b.waitFor(QStringLiteral("成功发送邮件！")).isEmpty());
    EXPECT_EQ(sink.mailCount(), mailsOfTheCycle + 1);
    for (const QString& line : b.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("dropped"))) << line.toStdString();

    // The empty datagram: a line of the time stamp prefix alone. (Within the burst window of the
    // alarm before: no second mail.)
    ASSERT_TRUE(peer->sendTo(QByteArray(), StationLab::kB, 44444));
    ASSERT_TRUE(peer->receive(10000).has_value()); // relayed as "的网络报警。..."
    QString empty;
    for (int i = 0; i < 50 && empty.isEmpty(); ++i) {
        b.waitFor(QStringLiteral("\x01"), 100);
        for (const QString& line : b.lines())
            if (line.size() == 23 && line.endsWith(QStringLiteral(" -> ")))
                empty = line;
    }
    EXPECT_FALSE(empty.isEmpty());
    EXPECT_EQ(sink.mailCount(), mailsOfTheCycle + 1);
}
