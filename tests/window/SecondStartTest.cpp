// A second start on the folder of a running monitor, as an operator makes it from the desktop's
// menu while the first waits hidden in the notification area.
#include "platform/CodePage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString xdotool(const QStringList& arguments)
{
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), arguments);
    xdo.waitForFinished(10000);
    return QString::fromLatin1(xdo.readAllStandardOutput()).trimmed();
}

// The process's main window while it is mapped on the desktop; empty otherwise. The tray entry has
// a window of its own with the caption as its tip, so the window is told by its size.
QString visibleWindow(qint64 pid)
{
    const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                 QString::number(pid), QStringLiteral("--name"), QStringLiteral("网络检测员")});
    for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts)) {
        if (xdotool({QStringLiteral("getwindowgeometry"), id}).contains(QStringLiteral("807x591")))
            return id;
    }
    return {};
}

template <typename Condition>
bool waitFor(Condition condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

QProcessEnvironment onTheDesktop()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

} // namespace

TEST(SecondStart, BringsTheHiddenWindowOfTheRunningMonitorUpAndEndsWithStatusZero)
{
    QTemporaryDir dir;
    for (const auto& [name, bytes] :
         {std::pair{QStringLiteral("Ip.txt"), CodePage::toGbk(QStringLiteral("127.0.0.1:本机\r\n"))},
          std::pair{QStringLiteral("Para.ini"), QByteArray("[NetPara]\r\nRecPort=0\r\n")}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const QStringList arguments{QStringLiteral("--data-dir"), dir.path()};
    QProcess first;
    first.setProcessEnvironment(onTheDesktop());
    first.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"), arguments);
    ASSERT_TRUE(first.waitForStarted(5000));
    QString window;
    ASSERT_TRUE(waitFor([&] { return !(window = visibleWindow(first.processId())).isEmpty(); }, 20000));
    // Closed by the operator with Alt+F4: it goes to the notification area.
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
    ASSERT_TRUE(waitFor([&] { return visibleWindow(first.processId()).isEmpty(); }, 10000));

    QProcess second;
    second.setProcessEnvironment(onTheDesktop());
    second.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"), arguments);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().constData();
    EXPECT_TRUE(waitFor([&] { return visibleWindow(first.processId()) == window; }, 10000));
    EXPECT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getactivewindow")}) == window; }, 5000))
        << "the window came up but not to the front";
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(pid_t(first.processId()), SIGTERM);
    EXPECT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitCode(), 0);
}
