#include "NetLab.h"
#include "metrics/HttpExchange.h"
#include "platform/CodePage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// One request per cycle, no pause between cycles, a line for normal addresses too.
const QByteArray kQuickCycles =
    "[PingPara]\r\nPingCount=1\r\nPingInterval=0\r\nIgNormal=0\r\n[NetPara]\r\nRecPort=0\r\n";

// A program the test started, in a namespace or not; ended by the test, killed if it must be.
class Started {
public:
    Started(const QString& program, const QStringList& arguments, const std::string& netns = {})
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        if (netns.empty())
            m_process.start(program, arguments);
        else
            m_process.start(QStringLiteral("ip"), QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                                              QString::fromStdString(netns), program} +
                                                      arguments);
        m_process.waitForStarted(10000);
    }
    ~Started()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    QProcess& process() { return m_process; }

    // The lines written to standard output so far (the information pane, for the monitor).
    const QStringList& lines()
    {
        // Without an event loop the output reaches the process object only while it is waited for.
        for (int i = 0; i < 100 && m_process.waitForReadyRead(10); ++i) {
        }
        while (m_process.canReadLine())
            m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
        return m_lines;
    }
    // Waits up to `ms` for a line from the `from`th on that contains the text.
    bool waitForLine(const QString& text, int ms, qsizetype from = 0)
    {
        QDeadlineTimer deadline(ms);
        for (qsizetype seen = from; !deadline.hasExpired() && running();) {
            const QStringList& now = lines();
            for (; seen < now.size(); ++seen)
                if (now[seen].contains(text))
                    return true;
            m_process.waitForReadyRead(100);
        }
        return false;
    }

private:
    QProcess m_process;
    QStringList m_lines;
};

QString monitorProgram()
{
    return QStringLiteral(TW_BINARY_DIR "/tarnwicker");
}

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool waitUntil(const std::function<bool()>& condition, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(250);
    }
    return true;
}

// One instant query of the Prometheus API inside the namespace: each series's labels and value.
struct Series {
    QJsonObject labels;
    double value;
};
std::vector<Series> query(const NetLab& lab, int port, const QString& expression)
{
    std::string response;
    lab.runIn(NetLab::Ns::Probe, [&] {
        response = httpGet(port, "/api/v1/query?query=" + QUrl::toPercentEncoding(expression).toStdString());
    });
    const QJsonObject reply = QJsonDocument::fromJson(QByteArray::fromStdString(httpBody(response))).object();
    std::vector<Series> series;
    for (const QJsonValue& each : reply[QStringLiteral("data")][QStringLiteral("result")].toArray()) {
        const QJsonObject one = each.toObject();
        series.push_back({one[QStringLiteral("metric")].toObject(),
                          one[QStringLiteral("value")].toArray().at(1).toString().toDouble()});
    }
    return series;
}

// The quality and whether the address answered, as the last verdict line of the pane about it says.
struct PaneVerdict {
    bool up;
    double quality;
};
std::optional<PaneVerdict> lastVerdict(const QStringList& pane, const QString& entryKey)
{
    static const QRegularExpression quality(QStringLiteral("网络质量：(\\d+)%,平均RTT："));
    for (qsizetype i = pane.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch match = quality.match(pane[i]);
        if (!pane[i].contains(entryKey) || !match.hasMatch())
            continue;
        const bool up =
            pane[i].contains(QStringLiteral("网络正常")) || pane[i].contains(QStringLiteral("网络恢复正常"));
        return PaneVerdict{up, match.captured(1).toInt() / 100.0};
    }
    return std::nullopt;
}

} // namespace

// A real Prometheus scrapes a headless monitor whose list holds an answering and a silent host, and
// what its API gives for each address is what the pane says.
TEST(MetricsProcess, PrometheusScrapesTheVerdictsOfThePane)
{
    if (const std::string why = NetLab::unavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    ASSERT_FALSE(prometheus.isEmpty() || promtool.isEmpty())
        << "Prometheus is not installed (Debian package prometheus)";
    NetLab lab;
    const std::string ns = lab.name(NetLab::Ns::Probe);
    // The namespace's loopback is the test's own: its ports are free.
    constexpr int kMetricsPort = 9464;
    constexpr int kPrometheusPort = 9090;

    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("Para.ini")), kQuickCycles);
    const QString answering = QString::fromLatin1(NetLab::kRouter) + QStringLiteral(":路由");
    const QString silent = QString::fromLatin1(NetLab::kSilent) + QStringLiteral(":静默");
    writeFile(dir.filePath(QStringLiteral("Ip.txt")),
              CodePage::toGbk(answering + QStringLiteral("=100%,0\r\n") + silent + QStringLiteral("=0%,0\r\n")));
    writeFile(dir.filePath(QStringLiteral("prometheus.yml")),
              "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
              "scrape_configs:\n  - job_name: tarnwicker\n    static_configs:\n"
              "      - targets: ['127.0.0.1:" +
                  QByteArray::number(kMetricsPort) + "']\n");
    QDir(dir.path()).mkdir(QStringLiteral("tsdb"));

    Started monitor(monitorProgram(),
                    {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(),
                     QStringLiteral("--metrics"), QString::number(kMetricsPort)},
                    ns);
    Started server(prometheus,
                   {QStringLiteral("--config.file=") + dir.filePath(QStringLiteral("prometheus.yml")),
                    QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("tsdb")),
                    QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(kPrometheusPort)},
                   ns);
    ASSERT_TRUE(monitor.running());
    ASSERT_TRUE(server.running()) << server.process().readAllStandardError().constData();

    // Two whole cycles seen by Prometheus (the silent host's request waits out its timeout in each).
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto cycles = query(lab, kPrometheusPort, QStringLiteral("tarnwicker_cycles_total"));
            return !cycles.empty() && cycles.front().value >= 2;
        },
        60000))
        << "Prometheus never saw two cycles; the monitor wrote:\n"
        << monitor.lines().join(u'\n').toStdString() << "\nPrometheus wrote:\n"
        << server.process().readAllStandardError().constData();

    std::map<QString, double> up;
    for (const Series& s : query(lab, kPrometheusPort, QStringLiteral("tarnwicker_address_up")))
        up[s.labels[QStringLiteral("address")].toString() + u':' + s.labels[QStringLiteral("name")].toString()] =
            s.value;
    std::map<QString, double> quality;
    for (const Series& s : query(lab, kPrometheusPort, QStringLiteral("tarnwicker_address_quality_ratio")))
        quality[s.labels[QStringLiteral("address")].toString() + u':' + s.labels[QStringLiteral("name")].toString()] =
            s.value;
    ASSERT_EQ(up.size(), 2u);
    for (const QString& key : {answering, silent}) {
        const std::optional<PaneVerdict> pane = lastVerdict(monitor.lines(), key);
        ASSERT_TRUE(pane) << key.toStdString() << "\n" << monitor.lines().join(u'\n').toStdString();
        ASSERT_TRUE(up.count(key) && quality.count(key)) << key.toStdString();
        EXPECT_EQ(up[key], pane->up ? 1 : 0) << key.toStdString();
        EXPECT_DOUBLE_EQ(quality[key], pane->quality) << key.toStdString();
    }
    EXPECT_EQ(up[answering], 1);
    EXPECT_EQ(up[silent], 0);

    // The exposition as scraped passes Prometheus's own check.
    std::string scrape;
    lab.runIn(NetLab::Ns::Probe, [&] { scrape = httpGet(kMetricsPort, "/metrics"); });
    ASSERT_EQ(httpStatus(scrape), 200);
    QProcess check;
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(check.waitForStarted(10000));
    check.write(QByteArray::fromStdString(httpBody(scrape)));
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().constData()
                                   << check.readAllStandardError().constData();
}

// A thousand requests with hostile paths, methods and headers, each bounded in time: none but
// GET /metrics gets the metrics, and the monitor serves and pings on.
TEST(MetricsProcess, HostileRequestsLeaveTheMonitorRunning)
{
    const int port = freePort();
    ASSERT_NE(port, 0);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("Para.ini")), kQuickCycles);
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(QStringLiteral("127.0.0.1:本机\r\n")));
    Started monitor(monitorProgram(), {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path(),
                                       QStringLiteral("--metrics"), QString::number(port)});
    ASSERT_TRUE(monitor.waitForLine(QStringLiteral("Ping结束。"), 15000));

    const std::string paths[] = {"/metrics",
                                 "/",
                                 "/metrics/",
                                 "/metrics/../metrics",
                                 "/%2e%2e/%2e%2e/etc/passwd",
                                 "/metrics%00",
                                 "/" + std::string(6000, 'a'),
                                 "/metrics?x=" + std::string(3000, 'A'),
                                 "*",
                                 "http://monitor.invalid/metrics",
                                 "/\xff\xfe\x01",
                                 "",
                                 "metrics"};
    const std::string methods[] = {
        "GET", "POST", "HEAD", "PUT", "DELETE", "CONNECT", "TRACE", "get", "G\x01T", std::string(200, 'X'), "OPTIONS"};
    std::string manyHeaders;
    for (int i = 0; i < 150; ++i)
        manyHeaders += "X-" + std::to_string(i) + ": v\r\n";
    const std::string headers[] = {"",
                                   "Content-Length: -1\r\n",
                                   "Content-Length: 99999999999999999999\r\n",
                                   "Transfer-Encoding: chunked\r\n",
                                   "Host: " + std::string(20000, 'h') + "\r\n",
                                   "X-Bytes: \x01\x02\x7f\xff\r\n",
                                   manyHeaders,
                                   "Expect: 100-continue\r\n",
                                   "Connection: keep-alive\r\n",
                                   "no colon here\r\n",
                                   "Authorization: Basic !!!\r\n",
                                   "Range: bytes=5-1\r\n"};
    const std::string versions[] = {" HTTP/1.1", " HTTP/1.0", "", " HTTP/9.9", " HTTP/1.1 extra"};
    QDeadlineTimer deadline(180000);
    int served = 0;
    for (int i = 0; i < 1000 && !deadline.hasExpired(); ++i) {
        const std::string& path = paths[i % std::size(paths)];
        const std::string& method = methods[i % std::size(methods)];
        const std::string& version = versions[i % std::size(versions)];
        std::string request = method + " " + path + version + "\r\n" + headers[i % std::size(headers)];
        // Every seventh request is cut off in its headers, every eleventh is bytes of no protocol.
        if (i % 7 == 3)
            request += "Host: 127.0.0";
        else if (i % 11 == 5)
            request = std::string(i % 500 + 1, char(i * 37));
        else
            request += "\r\n";
        const std::string response = httpExchange(port, request, 3000);
        if (response.find("tarnwicker_") != std::string::npos) {
            ++served;
            EXPECT_EQ(method, "GET") << i;
            EXPECT_TRUE(path == "/metrics" || path.rfind("/metrics?", 0) == 0) << i << " " << path;
        }
    }
    EXPECT_FALSE(deadline.hasExpired());
    EXPECT_GT(served, 0); // the plain GET /metrics among them is answered
    ASSERT_TRUE(monitor.running());
    EXPECT_EQ(httpStatus(httpGet(port, "/metrics")), 200);
    // And the cycles go on.
    EXPECT_TRUE(monitor.waitForLine(QStringLiteral("Ping结束。"), 15000, monitor.lines().size()));
}

// A metrics port that another program holds: one line in the pane, and the monitor pings on.
TEST(MetricsProcess, APortInUseIsOneLineAndTheMonitorRunsOn)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("Para.ini")),
              kQuickCycles + "MetricsPort=" + QByteArray::number(holder.serverPort()) + "\r\n");
    writeFile(dir.filePath(QStringLiteral("Ip.txt")), CodePage::toGbk(QStringLiteral("127.0.0.1:本机\r\n")));
    // The port comes from the network page's field this time.
    Started monitor(monitorProgram(), {QStringLiteral("--headless"), QStringLiteral("--data-dir"), dir.path()});
    const QString line = QStringLiteral("指标服务端口%1被占用，指标服务未启动。").arg(holder.serverPort());
    ASSERT_TRUE(monitor.waitForLine(QStringLiteral("Ping结束。"), 15000));
    EXPECT_EQ(monitor.lines().filter(line).size(), 1) << monitor.lines().join(u'\n').toStdString();
    EXPECT_TRUE(monitor.waitForLine(QStringLiteral("Ping结束。"), 15000, monitor.lines().size()))
        << "no cycle after the first";
}
