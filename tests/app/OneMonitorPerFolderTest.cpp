#include "platform/CodePage.h"
#include "platform/MonitorLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <thread>

namespace {

// Runs the call on a thread of its own while this thread handles its events (the listener's).
template <typename Call>
auto whileHandlingEvents(Call call)
{
    auto result = std::async(std::launch::async, call);
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return result.get();
}

// A folder with one loopback address and an alarm port of the system's choosing, so that monitors
// side by side never collide on it.
void seedFolder(const QString& folder)
{
    for (const auto& [name, bytes] :
         {std::pair{QStringLiteral("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n"))},
          std::pair{QStringLiteral("Para.ini"), QByteArray("[NetPara]\r\nRecPort=0\r\n")}}) {
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
}

// Starts the monitor headless on the folder; true once it has written its first cycle's end.
bool startHeadless(QProcess& process, const QString& folder, const QStringList& more = {})
{
    process.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                  QStringList{QStringLiteral("--headless"), QStringLiteral("--data-dir"), folder} + more);
    if (!process.waitForStarted(10000))
        return false;
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains("Ping结束。") && clock.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    return out.contains("Ping结束。");
}

bool endsInOrder(QProcess& process)
{
    ::kill(pid_t(process.processId()), SIGTERM);
    return process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

TEST(MonitorLock, TheFolderHasOneHolderAndALockOfADeadProcessIsTakenOver)
{
    QTemporaryDir dir;
    {
        MonitorLock first(dir.path());
        MonitorLock second(dir.path());
        EXPECT_EQ(first.acquire(), MonitorLock::State::Held);
        EXPECT_EQ(second.acquire(), MonitorLock::State::HeldByOther);
        EXPECT_EQ(second.holderPid(), QCoreApplication::applicationPid());
    }
    // A process that has ended holds nothing, as after a kill -9: its lock file is left over.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForStarted(5000));
    const qint64 gonePid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(5000));
    QFile stale(QDir(dir.path()).filePath(MonitorLock::kFileName));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QStringLiteral("%1\ntarnwicker\n%2\n").arg(gonePid).arg(QSysInfo::machineHostName()).toUtf8());
    stale.close();
    MonitorLock after(dir.path());
    EXPECT_EQ(after.acquire(), MonitorLock::State::Held);
    // A folder that cannot hold the lock does not stop the monitor.
    EXPECT_EQ(MonitorLock(dir.filePath(QStringLiteral("missing/folder"))).acquire(), MonitorLock::State::Unavailable);
}

TEST(MonitorLock, ARequestToShowIsAnsweredAsTheHolderCan)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    auto ask = [&] { return whileHandlingEvents([&] { return MonitorLock::askToShow(folder, 5000); }); };
    EXPECT_EQ(ask(), MonitorLock::Answer::Unreachable);
    // A socket file left by a monitor that crashed is no obstacle.
    QFile leftOver(QDir(QDir::tempPath()).filePath(MonitorLock::serverName(folder)));
    ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    leftOver.close();
    for (const bool headless : {false, true}) {
        MonitorLock lock(folder);
        ASSERT_EQ(lock.acquire(), MonitorLock::State::Held);
        int showRequests = 0;
        QObject::connect(&lock, &MonitorLock::showRequested, [&] { ++showRequests; });
        ASSERT_TRUE(lock.listen(headless));
        EXPECT_EQ(ask(), headless ? MonitorLock::Answer::Headless : MonitorLock::Answer::Shown);
        EXPECT_EQ(showRequests, headless ? 0 : 1);
    }
    // The name follows the folder, not the way it was written.
    EXPECT_EQ(MonitorLock::serverName(folder + QStringLiteral("/.")), MonitorLock::serverName(folder));
    QTemporaryDir other;
    EXPECT_NE(MonitorLock::serverName(other.path()), MonitorLock::serverName(folder));
}

TEST(OneMonitorPerFolder, AHeadlessSecondStartSaysWhoRunsThereAndEndsWithStatusOne)
{
    QTemporaryDir dir;
    seedFolder(dir.path());
    QProcess first;
    ASSERT_TRUE(startHeadless(first, dir.path()));
    QProcess second;
    second.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"),
                 {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(second.readAllStandardError()),
              MonitorLock::alreadyRunningText(dir.path(), first.processId()) + u'\n');
    // Not a line from the second monitor, nor the alarm port's error.
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray());
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(endsInOrder(first));
}

TEST(OneMonitorPerFolder, AStartAfterAKillRunsAndAnotherFolderRunsSideBySide)
{
    QTemporaryDir dir;
    QTemporaryDir otherDir;
    seedFolder(dir.path());
    seedFolder(otherDir.path());
    QProcess crashed;
    ASSERT_TRUE(startHeadless(crashed, dir.path()));
    ::kill(pid_t(crashed.processId()), SIGKILL);
    ASSERT_TRUE(crashed.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(QDir(dir.path()).filePath(MonitorLock::kFileName)));

    QProcess next;
    QProcess other;
    EXPECT_TRUE(startHeadless(next, dir.path())) << next.readAllStandardError().constData();
    EXPECT_TRUE(startHeadless(other, otherDir.path())) << other.readAllStandardError().constData();
    EXPECT_TRUE(endsInOrder(next));
    EXPECT_TRUE(endsInOrder(other));
    // An orderly end leaves no lock behind.
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(MonitorLock::kFileName)));
}
