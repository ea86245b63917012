#include "NetLab.h"
#include "XvfbServer.h"
#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString monitorProgram()
{
    return QStringLiteral(TW_BINARY_DIR "/tarnwicker");
}

// Monitors of tests that run side by side must not share the alarm port: the second would show the
// bind error, and on a shown window that box waits for the operator.
const QByteArray kAnyAlarmPort = "[NetPara]\r\nRecPort=0\r\n";

void writeAnyAlarmPort(const QString& folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("Para.ini")));
    if (file.open(QIODevice::WriteOnly))
        file.write(kAnyAlarmPort);
}

// Starts the monitor headless on the folder and waits until it has written its first lines.
bool startMonitor(QProcess& process, const QString& folder)
{
    if (!QFile::exists(QDir(folder).filePath(QStringLiteral("Para.ini"))))
        writeAnyAlarmPort(folder);
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

TEST(MonitorProcess, PrintsItsUsageOrVersionAndEnds)
{
    struct Row {
        const char* option;
        const char* printed;
    };
    for (const Row& row : {Row{"--help", "default: the executable's folder"}, Row{"-h", "usage: tarnwicker"},
                           Row{"--version", "tarnwicker 2.0\n"}}) {
        const MonitorRun run = runMonitor({QString::fromLatin1(row.option)});
        EXPECT_EQ(run.exitCode, 0) << row.option;
        EXPECT_TRUE(run.out.contains(QString::fromLatin1(row.printed))) << row.option << ": " << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

TEST(MonitorProcess, ADisplayWithoutAServerMeansHeadlessWithOneLineSayingSo)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n")));
    int free = 900 + int(QCoreApplication::applicationPid() % 90);
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(free)))
        ++free;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(free));
    process.setProcessEnvironment(env);
    writeAnyAlarmPort(dir.path());
    process.start(monitorProgram(),
                  {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("--cycles"), QStringLiteral("1")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(err, QStringLiteral("tarnwicker: no X server answers on DISPLAY=:%1; running headless\n").arg(free));
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardOutput()).contains(QStringLiteral("Ping结束。")));
}

TEST(MonitorProcess, EndsByItselfAfterTheGivenNumberOfCycles)
{
    QTemporaryDir dir;
    const QByteArray list = CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n"));
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), list);
    writeAnyAlarmPort(dir.path());
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

// The headless monitor keeps each address's history; --graph draws it afterwards without starting
// the monitor, and names a key that has none.
TEST(MonitorProcess, KeepsTheHistoryAndDrawsItsGraphWithoutStartingTheMonitor)
{
    QTemporaryDir dir;
    const QString key = QStringLiteral("127.0.0.1:本地 地址/环回");
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(key + QStringLiteral("\r\n")));
    writeAnyAlarmPort(dir.path());
    const MonitorRun cycle = runMonitor({QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(),
                                         QStringLiteral("--cycles"), QStringLiteral("1")});
    ASSERT_EQ(cycle.exitCode, 0) << cycle.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("history"))).entryList(QDir::Files).size(), 1);

    const QString png = dir.filePath(QStringLiteral("g.png"));
    const QStringList base = {QStringLiteral("--data-dir"), dir.path(),
                              QStringLiteral("--range"),    QStringLiteral("30h"),
                              QStringLiteral("--out"),      png};
    const MonitorRun drawn = runMonitor(base + QStringList{QStringLiteral("--graph"), key});
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err.toStdString();
    QFile file(png);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));

    const MonitorRun unknown = runMonitor(base + QStringList{QStringLiteral("--graph"), QStringLiteral("10.9.9.9:无")});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.startsWith(QStringLiteral("no history for \"10.9.9.9:无\""))) << unknown.err.toStdString();
    // Only the one cycle ran: one log file.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("log*.txt")}).size(), 1);
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
              QStringLiteral(
                  "[NetPara]\r\nRecPort=0\r\n[EmailPara]\r\nRecMailBox=duty@example.org\r\nSender=Ops@example.org\r\n"
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

namespace {

bool waitUntil(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < ms)
        QThread::msleep(20);
    return condition();
}

// A program the test started and ends by its own handle.
struct Child {
    QProcess process;
    ~Child()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

// An X display of the test's own (Xvfb) with a notification area (trayer), for the whole suite.
class XvfbDisplay {
public:
    static std::string unavailableReason()
    {
        for (const char* tool : {"Xvfb", "trayer", "xwininfo"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return std::string(tool) + " is not installed (Debian packages xvfb, trayer, x11-utils)";
        }
        return {};
    }

    XvfbDisplay()
    {
        m_name = startXvfb(m_server.process, QStringLiteral("Xvfb"), QStringLiteral("1024x768x24"));
        m_up = !m_name.isEmpty();
        m_panel.process.setProcessEnvironment(environment());
        m_panel.process.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top")});
        m_up = m_up && m_panel.process.waitForStarted(5000);
    }

    bool isUp() const { return m_up; }
    const QString& name() const { return m_name; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_name);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    // True once the monitor's main window (its caption, its size) is mapped and viewable.
    bool showsMainWindow() const { return showsMonitorWindow(environment()); }

private:
    QString m_name;
    Child m_server;
    Child m_panel;
    bool m_up = false;
};

// True while the process (alone in its network namespace) has an ICMP socket open: an echo
// request is out and its answer awaited.
bool echoRequestWaiting(qint64 pid)
{
    for (const char* table : {"raw", "icmp"}) {
        QFile file(QStringLiteral("/proc/%1/net/%2").arg(pid).arg(QString::fromLatin1(table)));
        if (file.open(QIODevice::ReadOnly) && file.readAll().count('\n') > 1)
            return true;
    }
    return false;
}

enum class Way { Signal, Cycles };

struct Ending {
    const char* name;
    Way way;
    int signal;
    bool silentHost; // the end comes while an echo request to a host that never answers waits
    enum When { Shown, FirstCycle, Mail } when = Shown; // Mail: the test mail to a server that never greets
};

void PrintTo(const Ending& ending, std::ostream* os)
{
    *os << ending.name;
}

class MonitorEnding : public ::testing::TestWithParam<Ending> {
protected:
    static void SetUpTestSuite()
    {
        if (XvfbDisplay::unavailableReason().empty())
            s_display = std::make_unique<XvfbDisplay>();
    }
    static void TearDownTestSuite() { s_display.reset(); }

    static inline std::unique_ptr<XvfbDisplay> s_display;
};

} // namespace

// The real window, shown on an X display with a notification area: each orderly end finishes with
// the log written and status 0, promptly, also while the window waits for a silent host.
TEST_P(MonitorEnding, EndsInOrderOnTheRealWindow)
{
    const Ending ending = GetParam();
    if (const std::string why = XvfbDisplay::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    std::optional<NetLab> lab;
    if (ending.silentHost) {
        if (const std::string why = NetLab::unavailableReason(); !why.empty())
            GTEST_SKIP() << why;
        lab.emplace();
    }
    ASSERT_TRUE(s_display && s_display->isUp()) << "Xvfb or trayer did not come up";

    QTemporaryDir dir;
    const QString host = ending.silentHost ? QString::fromLatin1(NetLab::kSilent) : QStringLiteral("127.0.0.1");
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(host + QStringLiteral(":受测地址\r\n")));
    // One request per cycle and no pause between cycles: with the silent host every cycle waits 5 s.
    QByteArray settings = "[PingPara]\r\nPingCount=1\r\nPingInterval=0\r\n" + kAnyAlarmPort;
    QStringList arguments{QStringLiteral("--data-dir"), dir.path()};
    if (ending.way == Way::Cycles)
        arguments << QStringLiteral("--cycles") << QStringLiteral("2");
    // A mail server that takes the connection and never says a word.
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ending.when == Ending::Mail) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(::listen(server, 1), 0);
        ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
        settings += "[EmailPara]\r\nRecMailBox=duty@example.org\r\nSender=ops@example.org\r\nSendSrv=127.0.0.1\r\n"
                    "SendPort=" +
                    QByteArray::number(ntohs(address.sin_port)) + "\r\n";
        arguments << QStringLiteral("--test-mail");
    }
    writeFile(dir.filePath(QStringLiteral("Para.ini")), settings);

    Child monitor;
    monitor.process.setProcessEnvironment(s_display->environment());
    if (lab) {
        arguments.prepend(monitorProgram());
        arguments = QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                QString::fromStdString(lab->name(NetLab::Ns::Probe))} +
                    arguments;
        monitor.process.start(QStringLiteral("ip"), arguments);
    } else {
        monitor.process.start(monitorProgram(), arguments);
    }
    ASSERT_TRUE(monitor.process.waitForStarted(10000));
    const qint64 pid = monitor.process.processId();

    if (ending.way == Way::Signal) {
        // The window shows before the first cycle; the end comes once it is on screen.
        if (ending.when == Ending::Shown) {
            ASSERT_TRUE(waitUntil([&] { return s_display->showsMainWindow(); }, 30000))
                << "the window never showed; the monitor is "
                << (monitor.process.state() == QProcess::Running ? "running" : "ended")
                << ", it wrote: " << monitor.process.readAllStandardError().constData();
        }
        if (ending.silentHost) {
            ASSERT_TRUE(waitUntil([&] { return echoRequestWaiting(pid); }, 10000)) << "no echo request went out";
        }
        if (ending.when == Ending::Mail) {
            pollfd pending{server, POLLIN, 0};
            ASSERT_TRUE(waitUntil([&] { return ::poll(&pending, 1, 0) > 0; }, 10000)) << "no mail connection";
        }
        ::kill(pid_t(pid), ending.signal);
    }
    const int limitMs = ending.way == Way::Signal ? 2000 : 15000; // --cycles: two cycles and the end
    ASSERT_TRUE(monitor.process.waitForFinished(limitMs))
        << "still running " << limitMs << " ms later: " << monitor.process.readAllStandardError().constData();
    EXPECT_EQ(monitor.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.process.exitCode(), 0) << monitor.process.readAllStandardError().constData();

    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
    ASSERT_EQ(logs.size(), 1);
    QFile log(dir.filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = CodePage::fromGbk(log.readAll());
    // Every cycle that started ended in order.
    const qsizetype cycles = text.count(QStringLiteral("Ping开始..."));
    EXPECT_EQ(text.count(QStringLiteral("Ping结束。")), cycles) << text.toStdString();
    if (ending.way == Way::Cycles) {
        EXPECT_EQ(cycles, 2);
    }
    // The end cuts short the first cycle's request: the abandoned request raises no false alarm.
    EXPECT_EQ(text.count(QStringLiteral("网络不通")), 0) << text.toStdString();
    if (ending.when == Ending::Mail) {
        EXPECT_TRUE(text.contains(QStringLiteral("发送失败，请检查是否已上网或密码、邮件地址等参数是否正确！Mail "
                                                 "abandoned: the monitor is ending")))
            << text.toStdString();
    }
    ::close(server);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, MonitorEnding,
    ::testing::Values(Ending{"Sigterm", Way::Signal, SIGTERM, false}, Ending{"Sigint", Way::Signal, SIGINT, false},
                      Ending{"Sighup", Way::Signal, SIGHUP, false}, Ending{"Cycles", Way::Cycles, 0, false},
                      Ending{"SigtermWhileWaiting", Way::Signal, SIGTERM, true},
                      Ending{"SigintWhileWaiting", Way::Signal, SIGINT, true},
                      Ending{"SighupWhileWaiting", Way::Signal, SIGHUP, true},
                      Ending{"SigtermDuringTheFirstCycle", Way::Signal, SIGTERM, true, Ending::FirstCycle},
                      Ending{"SigtermDuringAMail", Way::Signal, SIGTERM, false, Ending::Mail}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });
