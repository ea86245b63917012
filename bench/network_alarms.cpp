// Received network alarms through the real window: datagrams from another socket on loopback to the
// listener, each written into the information pane (first with relay and every other channel off,
// then relayed by UDP to the receiver 127.0.0.1, which drops what comes back from itself) while ping
// cycles over loopback run one after the other. Reports the datagrams handled per second and the
// latency from a datagram's sending to its pane line. Sends only to loopback; bounded in count.
#include "BenchSupport.h"
#include "app/AppContext.h"
#include "app/NetworkPage.h"
#include "app/TfrmTarnwick.h"
#include "app/WindowUi.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sends `count` datagrams "<send time in ns>:bench" from 127.0.0.5 in groups of `group`, with a
// pause of `pauseUs` after each group.
void flood(int port, int count, int group, int pauseUs, std::atomic<bool>& done)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.5", &from.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    for (int i = 0; i < count; ++i) {
        const QByteArray payload = QByteArray::number(nowNs()) + ":bench";
        ::sendto(fd, payload.constData(), size_t(payload.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (i % group == group - 1)
            std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
    }
    ::close(fd);
    done = true;
}

struct Run {
    int handled = 0;
    double perSecond = 0;
    double medianMs = 0;
    double p99Ms = 0;
    int cycles = 0;
};

Run measure(TfrmTarnwick& window, int count, int group, int pauseUs)
{
    std::vector<qint64> latencies;
    latencies.reserve(size_t(count));
    qint64 first = 0;
    qint64 last = 0;
    auto connection = QObject::connect(&window.pane(), &InfoPane::lineAdded, [&](const QString& line) {
        const qsizetype at = line.indexOf(QStringLiteral(":bench"));
        if (at < 0)
            return;
        const qint64 now = nowNs();
        const qint64 sent = line.mid(23, at - 23).toLongLong();
        latencies.push_back(now - sent);
        if (!first)
            first = now;
        last = now;
    });
    int cycles = 0;
    auto cycleCount = QObject::connect(&window.pane(), &InfoPane::lineAdded, [&](const QString& line) {
        if (line.endsWith(QStringLiteral("Ping结束。")))
            ++cycles;
    });
    std::atomic<bool> sent{false};
    std::thread sender(flood, window.network().listener().boundPort(), count, group, pauseUs, std::ref(sent));
    QElapsedTimer quiet;
    quiet.start();
    size_t seen = 0;
    while (!(sent && quiet.elapsed() > 500)) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (latencies.size() != seen) {
            seen = latencies.size();
            quiet.restart();
        }
    }
    sender.join();
    QObject::disconnect(connection);
    QObject::disconnect(cycleCount);
    Run run;
    run.handled = int(latencies.size());
    run.cycles = cycles;
    if (latencies.size() > 1) {
        run.perSecond = double(latencies.size() - 1) / (double(last - first) / 1e9);
        std::sort(latencies.begin(), latencies.end());
        run.medianMs = double(latencies[latencies.size() / 2]) / 1e6;
        run.p99Ms = double(latencies[latencies.size() * 99 / 100]) / 1e6;
    }
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::HeadlessFolder folder;
    folder.writeLoopbackList(20, [](int) { return QByteArray("bench-host"); });
    TfrmTarnwick window(folder.context());
    window.FormCreate();
    // One ping cycle after the other for as long as the benchmark runs.
    QTimer cycles;
    QObject::connect(&cycles, &QTimer::timeout, &window, &TfrmTarnwick::bbPingClick);
    cycles.start(0);

    // Latency at the rate the monitor must keep up with; throughput with more offered than it can take.
    const Run paced = measure(window, 10000, 5, 1000);
    std::printf("received alarms at about 5,000/s offered, 10,000 datagrams: %d handled, arrival to pane line "
                "median %.3f ms, 99th percentile %.3f ms, %d ping cycles meanwhile (goal: median under 5 ms)\n",
                paced.handled, paced.medianMs, paced.p99Ms, paced.cycles);
    const Run saturated = measure(window, 20000, 50, 1000);
    std::printf("received alarms with more offered than handled, 20,000 datagrams: %d handled (the rest dropped by "
                "the kernel's queue), %.0f per second, median %.3f ms, %d ping cycles meanwhile (goal: at least "
                "5,000 per second)\n",
                saturated.handled, saturated.perSecond, saturated.medianMs, saturated.cycles);

    window.ui().cbUseMess->setChecked(false);
    window.ui().mRecIp->setPlainText(QStringLiteral("127.0.0.1"));
    window.ui().cbNet->setChecked(true);
    const Run relayed = measure(window, 10000, 5, 1000);
    std::printf("received alarms relayed by UDP, at about 5,000/s offered, 10,000 datagrams: %d handled, median "
                "%.3f ms, 99th percentile %.3f ms, %d ping cycles meanwhile (goal: median under 5 ms)\n",
                relayed.handled, relayed.medianMs, relayed.p99Ms, relayed.cycles);
    cycles.stop();
    window.FormDestroy();
    return 0;
}
