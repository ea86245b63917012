// How long the monitor takes to end in order after a termination signal: headless on loopback, idle
// between cycles, and during the test mail to a server that takes the connection but never greets.
// From the signal to the end of the process, log file written. Sends only to loopback.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 10;

// A loopback listener that never accepts: a connection completes and then hears nothing.
struct SilentServer {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    SilentServer()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(socket, 16);
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(socket); }
};

// One run: start, wait for `ready`, signal, and return the ms until the process ended (-1: failed).
double endOnce(bool duringMail, int port)
{
    QTemporaryDir dir;
    QFile ip(dir.filePath(QStringLiteral("Ip.txt")));
    ip.open(QIODevice::WriteOnly);
    ip.write("127.0.0.1:local\r\n");
    ip.close();
    QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()};
    if (duringMail) {
        QFile ini(dir.filePath(QStringLiteral("Para.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[EmailPara]\r\nRecMailBox=duty@example.org\r\nSendSrv=127.0.0.1\r\nSendPort=" +
                  QByteArray::number(port) + "\r\n");
        ini.close();
        arguments << QStringLiteral("--test-mail");
    }
    QProcess monitor;
    monitor.start(QStringLiteral(TW_BINARY_DIR "/tarnwicker"), arguments);
    if (!monitor.waitForStarted(10000))
        return -1;
    // Ready once the first cycle has ended; the mail starts right after it.
    QByteArray out;
    for (int i = 0; i < 200 && !out.contains("Ping结束。"); ++i) {
        monitor.waitForReadyRead(50);
        out += monitor.readAllStandardOutput();
    }
    QThread::msleep(duringMail ? 300 : 100);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    if (!monitor.waitForFinished(30000) || monitor.exitCode() != 0)
        return -1;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("log*.txt")});
    if (logs.size() != 1)
        return -1;
    QFile log(dir.filePath(logs[0]));
    log.open(QIODevice::ReadOnly);
    // A run counts only when the signal really met the mail under way.
    return !duringMail || log.readAll().contains("Mail abandoned") ? ms : -1;
}

void report(const char* what, bool duringMail, int port)
{
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < kRuns; ++i) {
        const double t = endOnce(duringMail, port);
        if (t < 0)
            ++failed;
        else
            ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("%-28s all %d runs failed\n", what, kRuns);
        return;
    }
    std::printf("%-28s median %7.1f ms  max %7.1f ms  (%zu runs, %d failed)\n", what, ms[ms.size() / 2], ms.back(),
                ms.size(), failed);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SilentServer server;
    report("SIGTERM, idle", false, 0);
    report("SIGTERM, during a mail", true, server.port);
    return 0;
}
