#include "MailTestPrinters.h"
#include "alarm/MailAlarm.h"
#include "alarm/PasswordScrambler.h"
#include "platform/TextFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace {

// Debian's aiosmtpd belongs to the system interpreter, not to whatever python3 comes first on PATH.
constexpr char kPython[] = "/usr/bin/python3";

int runQuietly(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (started != 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The aiosmtpd server of smtp_sink.py, started for one test and stopped with it.
class AiosmtpdSink {
public:
    // Without eightBit the server does not advertise 8BITMIME.
    AiosmtpdSink(const QString& outDir, const char* user, const char* password, bool eightBit)
    {
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        std::string script = TW_SOURCE_DIR "/tests/alarm/smtp_sink.py";
        std::string out = outDir.toStdString();
        std::string mode = eightBit ? "8bit" : "7bit";
        std::vector<char*> argv = {const_cast<char*>(kPython),  script.data(), out.data(), const_cast<char*>(user),
                                   const_cast<char*>(password), mode.data(),   nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        const int started = posix_spawn(&m_pid, kPython, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_stdin = toChild[1];
        if (started != 0) {
            m_pid = 0;
            ::close(fromChild[0]);
            return;
        }
        m_port = readPort(fromChild[0]);
        ::close(fromChild[0]);
    }

    ~AiosmtpdSink()
    {
        if (m_stdin >= 0)
            ::close(m_stdin); // the server's signal to stop
        if (m_pid <= 0)
            return;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }

    int port() const { return m_port; }

private:
    static int readPort(int fd)
    {
        QByteArray output;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!output.contains('\n') && std::chrono::steady_clock::now() < until) {
            pollfd entry{fd, POLLIN, 0};
            if (poll(&entry, 1, 100) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n <= 0)
                break;
            output.append(chunk, n);
        }
        return output.startsWith("PORT ") ? output.mid(5).trimmed().toInt() : 0;
    }

    pid_t m_pid = 0;
    int m_stdin = -1;
    int m_port = 0;
};

} // namespace

TEST(MailEndToEnd, AReaderThatFollowsTheStandardsShowsTheChineseText)
{
    if (access(kPython, X_OK) != 0 || runQuietly({kPython, "-c", "import aiosmtpd"}) != 0)
        GTEST_SKIP() << kPython << " has no aiosmtpd (Debian package python3-aiosmtpd)";
    const QString subject = QStringLiteral("接受监控的网络报警信息：核心交换机与出口路由器不通");
    const QStringList pane = {QStringLiteral("Ping开始..."),
                              QStringLiteral("2025-01-05 09:00:00 -> 10.0.0.1:核心交换机 质量=0%,不通！"),
                              QStringLiteral(".starts with a dot"),
                              QStringLiteral("."),
                              QString(),
                              QStringLiteral("Ping结束。")};
    const QDateTime now(QDate(2025, 1, 5), QTime(9, 3, 7), QTimeZone("Asia/Shanghai"));
    const QString body = pane.join('\n') + '\n' + MailAlarm::closingLine(now, QLocale::c()) + '\n';

    // The server refuses unannounced 8-bit content, as one with strict 8-bit checks does.
    for (const bool eightBit : {true, false}) {
        SCOPED_TRACE(eightBit ? "server with 8BITMIME" : "server without 8BITMIME");
        QTemporaryDir out;
        ASSERT_TRUE(out.isValid());
        AiosmtpdSink sink(out.path(), "alarm@example.com", "Mo$s 密码", eightBit);
        ASSERT_GT(sink.port(), 0) << "aiosmtpd did not start";

        MailSettings settings;
        settings.recipients = QStringLiteral("\"Li, 值班\" <li@example.com>; duty@example.com");
        settings.sender = QStringLiteral("Alarm@Example.com");
        settings.scrambledPassword = PasswordScrambler::scramble(QStringLiteral("Mo$s 密码"));
        settings.authenticate = true;
        settings.server = QStringLiteral("127.0.0.1");
        settings.portText = QString::number(sink.port());
        QStringList appended;
        MailAlarm alarm({[&] { return settings; }, [&] { return pane; },
                         [&](const QString& line) { appended.append(line); }, [] {}, [] {}, [&] { return now; }});
        alarm.setLocale(QLocale::c());
        alarm.setTimeLimit(std::chrono::seconds(20));
        alarm.SendAlarmMail(subject);

        EXPECT_EQ(appended, QStringList{QStringLiteral("2025-01-05 09:03:07 -> 成功发送邮件！")});
        EXPECT_EQ(TextFile::readBytes(out.path() + "/envelope.txt").value_or(QByteArray()),
                  QByteArray("LOGIN\nalarm@example.com\nAlarm@Example.com\nli@example.com\nduty@example.com\n"));
        const QJsonObject reader =
            QJsonDocument::fromJson(TextFile::readBytes(out.path() + "/reader.json").value_or(QByteArray())).object();
        EXPECT_EQ(reader["subject"].toString(), subject);
        EXPECT_EQ(reader["from"], QJsonArray({QJsonArray({"", "Alarm@Example.com"})}));
        EXPECT_EQ(reader["to"], QJsonArray({QJsonArray({QStringLiteral("Li, 值班"), "li@example.com"}),
                                            QJsonArray({"", "duty@example.com"})}));
        EXPECT_EQ(reader["content_type"].toString(), QStringLiteral("text/plain"));
        EXPECT_EQ(reader["charset"].toString(), QStringLiteral("gbk"));
        EXPECT_EQ(reader["transfer"].toString(), eightBit ? QStringLiteral("8bit") : QStringLiteral("base64"));
        EXPECT_EQ(reader["mail_options"], eightBit ? QJsonArray({"BODY=8BITMIME"}) : QJsonArray());
        EXPECT_EQ(reader["body"].toString(), body);
        EXPECT_EQ(reader["defects"], QJsonArray());
    }
}
