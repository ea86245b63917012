#include "SipParty.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace SipParty;

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The baresip processes whose parent is `parent`.
QList<qint64> baresipChildren(qint64 parent)
{
    QList<qint64> found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(baresip)") && fields.size() > 1 && fields[1].toLongLong() == parent)
            found.append(entry.toLongLong());
    }
    return found;
}

bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}
} // namespace

// The monitor on a SIP account raises an alarm at its first cycle (the round-trip threshold 0 ms)
// and calls a second baresip; SIGTERM in the middle of the call hangs it up and ends the monitor in
// order and its baresip with it.
TEST(SipMonitorProcess, EndsItsBaresipWithItselfInTheMiddleOfACall)
{
    if (QStandardPaths::findExecutable("baresip").isEmpty())
        GTEST_SKIP() << "baresip is not installed (package baresip-core)";
    QTemporaryDir dir;
    CalledParty party(dir.filePath("party"), CalledParty::Auto);
    ASSERT_TRUE(party.ready());
    writeFile(dir.filePath("Para.ini"), "[NetPara]\r\nRecPort=0\r\n[PingPara]\r\nRTT=0\r\ncbRTT=1\r\nA1=1\r\nA2=1\r\n"
                                        "PingCount=1\r\n[TelPara]\r\nSipAccount=sip:alarm@127.0.0.1\r\n");
    writeFile(dir.filePath("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本地\r\n")));
    writeFile(dir.filePath("AlarmTelNo.txt"), party.uri().toUtf8() + "\r\n");
    writeSine(dir.filePath("alarm.wav"), 1000, 2);

    QProcess monitor;
    monitor.setProcessChannelMode(QProcess::MergedChannels);
    monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                  {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()});
    ASSERT_TRUE(monitor.waitForStarted(10000));
    const bool answered = waitFor([&] { return party.answered > 0; }, 20000);
    // The signal comes inside the call sequence's ten seconds after the answer: that wait gives up at
    // once, so the end is orderly and within the watchdog's time.
    waitFor([] { return false; }, 500);
    const QList<qint64> children = baresipChildren(monitor.processId());
    ::kill(pid_t(monitor.processId()), SIGTERM);
    const bool ended = monitor.waitForFinished(8000);
    const QString output = QString::fromUtf8(monitor.readAll());
    ASSERT_TRUE(answered) << output.toStdString();
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0) << output.toStdString();
    // The call was hung up: the party heard a BYE, not the media stopping.
    EXPECT_TRUE(waitFor([&] { return !party.closed.isEmpty(); }, 3000));
    EXPECT_EQ(party.closed, QStringList{QStringLiteral("Connection reset by peer")});
    ASSERT_EQ(children.size(), 1) << "the monitor's baresip was not found";
    EXPECT_TRUE(waitFor([&] { return !alive(children.first()); }, 2000)) << "baresip outlived the monitor";
    const QStringList logs = QDir(dir.path()).entryList({"log*.txt"});
    ASSERT_EQ(logs.size(), 1) << "no log written";
    QFile log(dir.filePath(logs.first()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(CodePage::fromGbk(log.readAll()).contains(QStringLiteral("结束通话......")));
}

// The telephone switch is on at start-up. A station whose only line is SIP starts without the box that
// asks for a modem (which in the window would hold up the first cycle until someone clicks it); a
// station without any line is still told, once.
TEST(SipMonitorProcess, TheLineCheckAtStartUpSeesTheSipAccount)
{
    const struct {
        const char* name;
        QByteArray telPara;
        int boxes;
    } cases[] = {
        {"SIP account", "[TelPara]\r\nSipAccount=sip:alarm@127.0.0.1\r\n", 0},
        {"no line", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFile(dir.filePath("Para.ini"),
                  "[NetPara]\r\nRecPort=0\r\n[PingPara]\r\nA2=1\r\nPingCount=1\r\n" + c.telPara);
        writeFile(dir.filePath("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本地\r\n")));
        QProcess monitor;
        monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                      {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()});
        ASSERT_TRUE(monitor.waitForStarted(10000));
        QByteArray out;
        const bool cycled = waitFor(
            [&] {
                out += monitor.readAllStandardOutput();
                return out.contains(QStringLiteral("Ping结束。").toUtf8());
            },
            15000);
        ::kill(pid_t(monitor.processId()), SIGTERM);
        ASSERT_TRUE(monitor.waitForFinished(8000));
        const QString errors = QString::fromUtf8(monitor.readAllStandardError());
        EXPECT_TRUE(cycled) << QString::fromUtf8(out).toStdString();
        const QString box = QStringLiteral("[提示] ") + QStringLiteral("实现电话报警功能必须安装调制解调器");
        EXPECT_EQ(errors.count(box), c.boxes) << errors.toStdString();
    }
}
