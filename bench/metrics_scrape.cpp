// Serving the metrics of 10,000 addresses: the time of one scrape of GET /metrics (as Prometheus
// asks, gzip accepted, though the monitor answers plain text), and the time of ping cycles with a scrape every second
// beside them against the same cycles with metrics off, in one run (off, on, off, on). Four echo requests per loopback
// address, five cycles in a row per measurement. Sends only to loopback; bounded in count.
#include "../tests/metrics/HttpExchange.h"
#include "BenchSupport.h"
#include "app/TfrmTarnwick.h"
#include "metrics/MonitorMetrics.h"
#include "platform/CodePage.h"

#include <QApplication>
#include <QHostAddress>
#include <QTcpServer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kAddresses = 10000;
constexpr int kCycles = 5;

using Clock = std::chrono::steady_clock;

QString name(int i)
{
    return QStringLiteral("站点-%1").arg(i);
}

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// Scrapes once a second until stopped, by turns as Prometheus does (gzip accepted) and plain;
// keeps each scrape's time.
class Scraper {
public:
    explicit Scraper(int port)
        : m_thread([this, port] { run(port); })
    {}
    ~Scraper()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<double> times(bool gzip)
    {
        std::lock_guard lock(m_mutex);
        return m_times[gzip];
    }
    std::size_t lastSize() const { return m_size; }

private:
    void run(int port)
    {
        // Bounded: one scrape a second, at most an hour's worth.
        for (int i = 0; i < 3600 && !m_stop; ++i) {
            const auto start = Clock::now();
            const bool gzip = i % 2 == 0;
            const std::string response =
                httpExchange(port,
                             std::string("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n") +
                                 (gzip ? "Accept-Encoding: gzip\r\n" : "") + "Connection: close\r\n\r\n",
                             5000, false);
            const double took = Bench::secondsSince(start);
            if (httpStatus(response) == 200) {
                std::lock_guard lock(m_mutex);
                m_times[gzip].push_back(took);
                if (gzip)
                    m_size = response.size();
            }
            for (int k = 0; k < 10 && !m_stop; ++k)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<double> m_times[2]; // plain, gzip
    std::atomic<std::size_t> m_size{0};
    std::thread m_thread;
};

struct Run {
    double cycle = 0;
    std::vector<double> scrapes[2]; // plain, gzip
    std::size_t size = 0;
};

// One window on its own folder; its first cycle at start-up, then the measured one.
Run measure(bool metrics)
{
    Bench::HeadlessFolder folder;
    folder.write(QStringLiteral("Para.ini"), "[PingPara]\r\nPingCount=4\r\n");
    folder.writeLoopbackList(kAddresses, [](int i) { return CodePage::toGbk(name(i)); });
    AppContext context = folder.context();
    const int port = freePort();
    if (metrics) {
        MetricsEndpoint endpoint;
        endpoint.port = port;
        context.metrics = endpoint;
    }
    TfrmTarnwick window(context);
    window.FormCreate(); // with its first cycle, which fills the metrics
    Run run;
    std::optional<Scraper> scraper;
    if (metrics)
        scraper.emplace(port);
    const auto start = Clock::now();
    for (int i = 0; i < kCycles; ++i)
        window.bbPingClick();
    run.cycle = Bench::secondsSince(start) / kCycles;
    if (scraper) {
        run.scrapes[0] = scraper->times(false);
        run.scrapes[1] = scraper->times(true);
        run.size = scraper->lastSize();
    }
    return run;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    double off = 0; // seconds per cycle, summed over the rounds
    double on = 0;
    std::vector<double> scrapes[2];
    std::size_t size = 0;
    for (int round = 0; round < 2; ++round) {
        off += measure(false).cycle;
        const Run run = measure(true);
        on += run.cycle;
        for (int gzip : {0, 1})
            scrapes[gzip].insert(scrapes[gzip].end(), run.scrapes[gzip].begin(), run.scrapes[gzip].end());
        size = std::max(size, run.size);
    }

    // The exposition alone, in this thread, for the same number of addresses.
    MonitorMetrics metrics;
    QStringList lines;
    for (int i = 0; i < kAddresses; ++i) {
        lines << QHostAddress(Bench::loopbackAddress(i)).toString() + u':' + name(i);
        metrics.addressJudged({lines.back(), true, 100, 1, 1, 1});
    }
    metrics.cycleEnded({1, 0, lines});
    const auto start = Clock::now();
    constexpr int kRenders = 10;
    std::size_t plain = 0;
    for (int i = 0; i < kRenders; ++i)
        plain = metrics.exposition().size();
    const double render = Bench::secondsSince(start) / kRenders;

    auto worst = [](const std::vector<double>& times) {
        return times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    };
    std::printf("metrics scrape: %d addresses, cycles of 4 echo requests each: %.3f s with metrics off, %.3f s with "
                "a scrape every second, ratio %.3fx (goal: at most 1.1x); one scrape (goal: under 100 ms) asked "
                "as Prometheus asks, gzip accepted (%zu bytes): %.1f ms median, %.1f ms worst of %zu; plain: %.1f ms "
                "median, %.1f ms "
                "worst of %zu; the exposition alone (%zu bytes): %.1f ms\n",
                kAddresses, off / 2, on / 2, on / off, size, median(scrapes[1]) * 1000, worst(scrapes[1]) * 1000,
                scrapes[1].size(), median(scrapes[0]) * 1000, worst(scrapes[0]) * 1000, scrapes[0].size(), plain,
                render * 1000);
    return 0;
}
