#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString monitorProgram()
{
    return QStringLiteral(TW_BINARY_DIR "/tarnwicker");
}

// Starts the monitor headless on the folder and waits until it has written its first lines.
bool startMonitor(QProcess& process, const QString& folder)
{
    process.start(monitorProgram(), {QStringLiteral("--headless"), QStringLiteral("--data-dir"), folder});
    if (!process.waitForStarted(10000))
        return false;
    for (int i = 0; i < 100 && !process.canReadLine(); ++i)
        process.waitForReadyRead(100);
    return process.canReadLine();
}

} // namespace

TEST(MonitorProcess, EndsInOrderOnEachTerminationSignal)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        QFile ip(dir.filePath(QStringLiteral("Ip.txt")));
        ASSERT_TRUE(ip.open(QIODevice::WriteOnly));
        ip.write(CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址=37%,812\r\n")));
        ip.close();
        QProcess process;
        ASSERT_TRUE(startMonitor(process, dir.path())) << "signal " << sig;
        ::kill(static_cast<pid_t>(process.processId()), sig);
        ASSERT_TRUE(process.waitForFinished(15000)) << "signal " << sig;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
        ASSERT_EQ(logs.size(), 1) << "signal " << sig;
        // Every line the monitor printed (UTF-8) is in the log file (GBK).
        QFile log(dir.filePath(logs[0]));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString logText = CodePage::fromGbk(log.readAll());
        const QString printed = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_FALSE(printed.isEmpty());
        for (const QString& line : printed.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(logText.contains(line)) << line.toStdString();
    }
}

TEST(MonitorProcess, RejectsAnUnknownOption)
{
    QProcess process;
    process.start(monitorProgram(), {QStringLiteral("--bogus")});
    ASSERT_TRUE(process.waitForFinished(15000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("unknown option: --bogus"));
}

namespace {

struct MonitorRun {
    int exitCode = -1;
    QString out;
    QString err;
};

MonitorRun runMonitor(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(monitorProgram(), arguments);
    MonitorRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(MonitorProcess, EndsByItselfAfterTheGivenNumberOfCycles)
{
    QTemporaryDir dir;
    const QByteArray list = CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n"));
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), list);
    const MonitorRun run = runMonitor({QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(),
                                       QStringLiteral("--cycles"), QStringLiteral("1")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.count(QStringLiteral("Ping开始...")), 1) << run.out.toStdString();
    EXPECT_EQ(run.out.count(QStringLiteral("Ping结束。")), 1);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("log*.txt")}).size(), 1);
    // The cycle's rewrite of the line is not the operator's change: the file stays as it was.
    QFile ip(dir.filePath(QStringLiteral("Ip.txt")));
    ASSERT_TRUE(ip.open(QIODevice::ReadOnly));
    EXPECT_EQ(ip.readAll(), list);
}

TEST(MonitorProcess, PrintsAReportWithoutStartingTheMonitor)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("log20261201080000.txt")),
              CodePage::toGbk(QStringLiteral("2026-12-01 08:00:00 -> 10.0.0.1:机房网络不通！！！\r\n"
                                             "2026-12-01 08:00:00 -> 10.0.0.2:办公网络有丢包！！！\r\n")));
    writeFile(dir.filePath(QStringLiteral("log20261202080000.txt")),
              CodePage::toGbk(QStringLiteral("2026-12-02 08:00:00 -> 10.0.0.1:机房网络恢复正常！！！\r\n")));
    const QStringList base = {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--report")};
    const MonitorRun found = runMonitor(
        base + QStringList{QStringLiteral("history"), QStringLiteral("--address"), QStringLiteral("10.0.0.1:机房")});
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out, QStringLiteral("2026-12-01 08:00:00 -> 10.0.0.1:机房网络不通！！！\n"
                                        "2026-12-02 08:00:00 -> 10.0.0.1:机房网络恢复正常！！！\n"));
    const MonitorRun none = runMonitor(
        base + QStringList{QStringLiteral("history"), QStringLiteral("--address"), QStringLiteral("10.9.9.9:无")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.out.isEmpty());
    const MonitorRun bad =
        runMonitor(base + QStringList{QStringLiteral("week"), QStringLiteral("--address"), QStringLiteral("x")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_FALSE(bad.err.isEmpty());
    // The monitor itself never ran: no ping cycle, no log file of its own.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("log*.txt")}).size(), 2);
}

TEST(MonitorProcess, SendsTheTestMailThroughARealServerAndEnds)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) != 0)
        GTEST_SKIP() << "/usr/bin/python3 has no aiosmtpd (Debian package python3-aiosmtpd)";
    QTemporaryDir dir;
    QTemporaryDir mailbox;
    // No password is stored, so the monitor logs in with its default one.
    QProcess sink;
    sink.start(python, {QStringLiteral(TW_SOURCE_DIR "/tests/alarm/smtp_sink.py"), mailbox.path(),
                        QStringLiteral("ops@example.org"), QStringLiteral("quillmoss")});
    while (!sink.canReadLine() && sink.waitForReadyRead(20000)) {
    }
    const QByteArray portLine = sink.readLine().trimmed();
    ASSERT_TRUE(portLine.startsWith("PORT ")) << portLine.toStdString();
    const QByteArray port = portLine.mid(5);
    writeFile(dir.filePath(QStringLiteral("Para.ini")),
              QStringLiteral("[EmailPara]\r\nRecMailBox=duty@example.org\r\nSender=Ops@example.org\r\n"
                             "Check=1\r\nSendSrv=127.0.0.1\r\nSendPort=%1\r\n")
                  .arg(QString::fromLatin1(port))
                  .toLatin1());
    const MonitorRun run = runMonitor(
        {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--test-mail")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("成功发送邮件！"))) << run.out.toStdString();
    sink.closeWriteChannel();
    sink.waitForFinished(10000);
    QFile content(mailbox.filePath(QStringLiteral("content.eml")));
    ASSERT_TRUE(content.open(QIODevice::ReadOnly));
    const QByteArray mail = content.readAll();
    EXPECT_TRUE(mail.contains("Subject: =?GB2312?B?"));
    EXPECT_TRUE(mail.contains("To: duty@example.org"));
}
