#include "platform/TerminationWatchdog.h"
#include "platform/XDisplay.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(TerminationWatchdog, EndsTheProcessUnlessDisarmedInTime)
{
    EXPECT_EXIT(
        {
            TerminationWatchdog watchdog(50ms);
            watchdog.arm();
            std::this_thread::sleep_for(5s);
        },
        ::testing::ExitedWithCode(1), "orderly end did not finish within 50 ms");
    EXPECT_EXIT(
        {
            TerminationWatchdog watchdog(200ms);
            watchdog.arm();
            watchdog.disarm();
            std::this_thread::sleep_for(400ms);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(XDisplay, NamesAreParsedAsTheXLibraryReadsThem)
{
    struct Row {
        const char* name;
        bool valid;
        const char* host;
        int number;
    };
    const Row rows[] = {
        {":0", true, "", 0}, {":1.0", true, "", 1}, {"unix:2", true, "", 2}, {"localhost:10.0", true, "localhost", 10},
        {"", false, "", 0},  {"0", false, "", 0},   {":x", false, "", 0},    {":-1", false, "", 0},
    };
    for (const Row& row : rows) {
        const auto address = XDisplay::parse(QString::fromLatin1(row.name));
        ASSERT_EQ(address.has_value(), row.valid) << row.name;
        if (row.valid) {
            EXPECT_EQ(address->host, QString::fromLatin1(row.host)) << row.name;
            EXPECT_EQ(address->number, row.number) << row.name;
        }
    }
}

// Reachable where anything listens; admitted only where a server answers the X connection setup.
TEST(XDisplay, ReachableWhereAServerListensAdmittedOnlyWhereItAnswers)
{
    // A display number with nothing behind it, then a listener on its abstract socket.
    int number = 9000 + int(::getpid() % 500);
    const QByteArray path = XDisplay::socketPath(number).toLocal8Bit();
    EXPECT_FALSE(XDisplay::reachable(QStringLiteral(":%1").arg(number)));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.constData(), std::size_t(path.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + std::size_t(path.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    EXPECT_TRUE(XDisplay::reachable(QStringLiteral(":%1.0").arg(number)));
    // It never says a word: given up on after one attempt, not waited for.
    EXPECT_FALSE(XDisplay::admitsClient(QStringLiteral(":%1").arg(number), 100, std::chrono::milliseconds(0)));
    ::close(listener);
    EXPECT_FALSE(XDisplay::reachable(QStringLiteral("not a display")));
}
