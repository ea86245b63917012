#include "Desktop.h"
#include "NetLab.h"
#include "XvfbServer.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

// Hosts that never answer hold the first cycle for a minute and more; the operator sees the window
// at once all the same, and the cycle has begun behind it.
TEST(StartupShow, WindowIsVisibleWithinOneSecondWithFiveSilentHosts)
{
    NetLab lab;
    QTemporaryDir dir;
    QByteArray list;
    for (int host = 7; host < 12; ++host)
        list += CodePage::toGbk(QStringLiteral("203.0.113.%1:静默主机%1\r\n").arg(host));
    for (const auto& [name, bytes] :
         {std::pair{QStringLiteral("Ip.txt"), list},
          std::pair{QStringLiteral("Para.ini"), QByteArray("[NetPara]\r\nRecPort=0\r\n")}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    monitor.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    monitor.start(QStringLiteral("ip"),
                  {QStringLiteral("netns"), QStringLiteral("exec"), QString::fromStdString(lab.name(NetLab::Ns::Probe)),
                   QStringLiteral(TW_BINARY_DIR "/tarnwicker"), QStringLiteral("--data-dir"), dir.path()});
    ASSERT_TRUE(monitor.waitForStarted(5000));
    std::optional<qint64> shownAfter;
    while (!shownAfter && clock.elapsed() < 30000 && monitor.state() == QProcess::Running) {
        if (showsMonitorWindow())
            shownAfter = clock.elapsed();
        else
            QThread::msleep(20);
    }
    const QByteArray errors = monitor.readAllStandardError();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    EXPECT_TRUE(monitor.waitForFinished(15000));
    ASSERT_TRUE(shownAfter) << "the window never showed; the monitor wrote: " << errors.constData();
    RecordProperty("shown_after_ms", static_cast<int>(*shownAfter));
    EXPECT_LT(*shownAfter, 1000) << "the window showed " << *shownAfter << " ms after start-up";
    // The window showed while the first cycle waited for its hosts, not instead of it.
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
    ASSERT_EQ(logs.size(), 1);
    QFile log(dir.filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logText = CodePage::fromGbk(log.readAll());
    EXPECT_TRUE(logText.contains(QStringLiteral("Ping开始...")));
}
