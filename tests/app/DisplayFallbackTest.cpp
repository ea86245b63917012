#include "FlakyXServer.h"
#include "XvfbServer.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Server {
    QProcess process;
    ~Server()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

// Started for its window on an X display whose server takes the connection that checks it and then
// refuses the monitor, for good, from the moment after the check, or only once: the monitor never
// aborts. It runs headless with one line on standard error when it cannot get in, and shows its
// window on the real server behind when a later try gets in.
TEST(MonitorDisplay, AServerThatRefusesTheMonitorMeansHeadlessNeverAnAbort)
{
    Server xvfb;
    const QString real = startXvfb(xvfb.process, QStringLiteral("Xvfb"), QStringLiteral("1024x768x24"));
    ASSERT_FALSE(real.isEmpty()) << "Xvfb did not come up (Debian package xvfb)";
    const struct {
        const char* what;
        FlakyXServer::Rule rule;
        const char* why; // in the line on standard error; null: the window shows
    } rows[] = {
        {"refuses every client", {1000, 0}, " (Maximum number of clients reached)"},
        {"admits the check's client and refuses the next", {0, 1}, ""},
        {"refuses the first client only", {1, -1}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FlakyXServer display(real.mid(1).toInt(), row.rule);
        ASSERT_FALSE(display.name().isEmpty()) << "no free display number";
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n")));
        writeFile(dir.filePath(QStringLiteral("Para.ini")),
                  "[PingPara]\r\nPingCount=1\r\nPingInterval=0\r\n[NetPara]\r\nRecPort=0\r\n");
        QProcess monitor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), display.name());
        env.insert(QStringLiteral("XAUTHORITY"), dir.filePath(QStringLiteral("no-cookies")));
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                      {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--cycles"), QStringLiteral("2")});
        ASSERT_TRUE(monitor.waitForFinished(30000));
        const QString err = QString::fromUtf8(monitor.readAllStandardError());
        const QString out = QString::fromUtf8(monitor.readAllStandardOutput());
        EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_EQ(monitor.exitCode(), 0) << err.toStdString();
        EXPECT_GE(display.refused(), 1);
        const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
        ASSERT_EQ(logs.size(), 1);
        QFile log(dir.filePath(logs[0]));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_EQ(CodePage::fromGbk(log.readAll()).count(QStringLiteral("Ping结束。")), 2);
        if (row.why) {
            EXPECT_EQ(err.toStdString(), QStringLiteral("tarnwicker: the window cannot be opened on DISPLAY=%1%2; "
                                                        "running headless\n")
                                             .arg(display.name(), QString::fromLatin1(row.why))
                                             .toStdString());
            EXPECT_EQ(out.count(QStringLiteral("Ping结束。")), 2) << out.toStdString();
        } else {
            // Shown: the information lines stay in the window.
            EXPECT_FALSE(err.contains(QStringLiteral("headless"))) << err.toStdString();
            EXPECT_EQ(out.toStdString(), "");
            EXPECT_GE(display.admitted(), 2); // the monitor's own try and the window's connection
        }
    }
}
