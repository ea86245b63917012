#include "platform/XDisplay.h"

#include "platform/AppError.h"
#include "platform/StderrCapture.h"
#include "platform/TcpConnection.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#ifdef TW_HAVE_XCB
#include <xcb/xcb.h>
#endif

#ifndef _WIN32
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace XDisplay {

std::optional<Address> parse(const QString& display)
{
    const qsizetype colon = display.lastIndexOf(u':');
    if (colon < 0)
        return std::nullopt;
    Address address;
    address.host = display.left(colon);
    if (address.host == QStringLiteral("unix"))
        address.host.clear();
    const QString number = display.mid(colon + 1).section(u'.', 0, 0);
    bool ok = false;
    address.number = number.toInt(&ok);
    if (!ok || address.number < 0 || number.startsWith(u'+'))
        return std::nullopt;
    return address;
}

QString socketPath(int number)
{
    return QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
}

#ifndef _WIN32

namespace {

// Tries the abstract socket first and then the file, as the X library does.
bool localServerAnswers(int number)
{
    const QByteArray path = socketPath(number).toLocal8Bit();
    for (bool abstract : {true, false}) {
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with a zero byte
        std::memcpy(address.sun_path + offset, path.constData(), std::size_t(path.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + std::size_t(path.size()));
        const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0;
        ::close(s);
        if (connected)
            return true;
    }
    return false;
}

} // namespace

bool reachable(const QString& display)
{
    const std::optional<Address> address = parse(display);
    if (!address)
        return false;
    if (address->host.isEmpty())
        return localServerAnswers(address->number);
    constexpr int kFirstPort = 6000;
    try {
        TcpConnection connection;
        connection.open(address->host, kFirstPort + address->number,
                        TcpConnection::Clock::now() + std::chrono::seconds(1));
        return true;
    } catch (const AppError&) {
        return false;
    }
}

#endif // _WIN32

#ifdef TW_HAVE_XCB

namespace {

// How long one connection setup may take. A server that takes the connection and never answers (a
// stopped or hung one) would otherwise hold the X library's connect, and the monitor's start, for ever.
constexpr auto kSetupLimit = std::chrono::seconds(2);

struct Setup {
    std::optional<bool> admitted; // nullopt: no answer within the limit (the attempt ends by itself)
    QString refusal;              // the server's reason, as the X library wrote it to standard error
};

Setup tryConnectionSetup(const QByteArray& display)
{
    struct Attempt {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<bool> admitted;
    };
    auto attempt = std::make_shared<Attempt>();
    StderrCapture capture;
    std::thread([attempt, display] {
        xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
        const bool admitted = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        const std::lock_guard lock(attempt->mutex);
        attempt->admitted = admitted;
        attempt->done.notify_all();
    }).detach();
    std::unique_lock lock(attempt->mutex);
    attempt->done.wait_for(lock, kSetupLimit, [&] { return attempt->admitted.has_value(); });
    return {attempt->admitted, QString::fromLocal8Bit(capture.release()).trimmed()};
}

} // namespace

bool admitsClient(const QString& display, int attempts, std::chrono::milliseconds pause, QString* refusal)
{
    const QByteArray name = display.toLocal8Bit();
    QString reason;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(pause);
        const Setup setup = tryConnectionSetup(name);
        if (setup.admitted == true)
            return true;
        if (!setup.admitted) {
            reason = QStringLiteral("no answer within %1 s").arg(kSetupLimit.count());
            break;
        }
        reason = setup.refusal.isEmpty() ? QStringLiteral("connection refused") : setup.refusal;
    }
    if (refusal)
        *refusal = reason;
    return false;
}

#else

// Without the X library there is no X server to ask; Qt's own platform decides.
bool admitsClient(const QString&, int, std::chrono::milliseconds, QString*)
{
    return true;
}

#endif

} // namespace XDisplay
