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
