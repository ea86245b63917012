#include "HttpExchange.h"
#include "metrics/MetricsEndpoint.h"
#include "metrics/MetricsServer.h"
#include "metrics/MonitorMetrics.h"
#include "platform/AppError.h"
#include "shared/AlarmKind.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The value of one sample of the exposition, by its name and labels as written; nullopt if absent.
std::optional<double> sample(const std::string& exposition, const std::string& series)
{
    const std::string start = series + " ";
    for (std::size_t at = 0; at < exposition.size();) {
        const std::size_t end = exposition.find('\n', at);
        const std::string line = exposition.substr(at, end - at);
        if (line.rfind(start, 0) == 0)
            return std::stod(line.substr(start.size()));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return std::nullopt;
}

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

} // namespace

TEST(MetricsEndpoint, ReadsPortsAndNamedAddresses)
{
    struct Case {
        const char* text;
        const char* listening; // nullptr: refused
    };
    const Case cases[] = {
        {"9464", "127.0.0.1:9464"},
        {"0", "127.0.0.1:0"},
        {"65535", "127.0.0.1:65535"},
        {"0.0.0.0:9464", "0.0.0.0:9464"},
        {"192.0.2.10:80", "192.0.2.10:80"},
        {"[::1]:9464", "[::1]:9464"},
        {"", nullptr},
        {"65536", nullptr},
        {"-1", nullptr},
        {"+80", nullptr},
        {" 80", nullptr},
        {"80x", nullptr},
        {"１２３", nullptr}, // full-width digits
        {":80", nullptr},
        {"127.1:80", nullptr},
        {"::1:80", nullptr},
        {"[127.0.0.1]:80", nullptr},
        {"monitor.invalid:80", nullptr},
        {"192.0.2.10:", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<MetricsEndpoint> endpoint = MetricsEndpoint::parse(QString::fromUtf8(c.text));
        if (!c.listening) {
            EXPECT_FALSE(endpoint) << c.text;
            continue;
        }
        ASSERT_TRUE(endpoint) << c.text;
        EXPECT_EQ(endpoint->listening().toStdString(), c.listening) << c.text;
    }
    EXPECT_TRUE(MetricsEndpoint::parse(QStringLiteral("0"))->off());
    // The settings field: a port on loopback, anything else off.
    EXPECT_EQ(MetricsEndpoint::ofSetting(QStringLiteral(" 9100 ")).listening(), QStringLiteral("127.0.0.1:9100"));
    for (const char* text : {"", "abc", "70000", "1.2.3.4:80"})
        EXPECT_TRUE(MetricsEndpoint::ofSetting(QString::fromUtf8(text)).off()) << text;
}

TEST(MonitorMetrics, KeepsEachAddressesVerdictsAndForgetsRemovedOnes)
{
    qint64 now = 1'700'000'000'000;
    MonitorMetrics metrics([&now] { return now; });
    // Chinese names right beside the separators, and the characters the format escapes.
    const QString answering = QStringLiteral(" 192.0.2.1:总部\"A\\B\"=100%,3");
    const QString silent = QStringLiteral("203.0.113.7:分部,甲=37%,812");
    metrics.addressJudged({answering, true, 100, 3, 4, 4});
    now += 1500;
    metrics.addressJudged({silent, false, 0, 812, 4, 0});
    metrics.addressJudged({answering, true, 96, 2, 4, 3});
    metrics.addressJudged({silent, false, 0, 812, 4, 0});
    metrics.cycleEnded({2500, 5, {answering, silent, QString(), QStringLiteral("   ")}});

    const std::string text = metrics.exposition();
    const std::string a = R"({address="192.0.2.1",name="总部\"A\\B\""})";
    const std::string s = R"({address="203.0.113.7",name="分部,甲"})";
    struct Expect {
        std::string series;
        double value;
    };
    const Expect expected[] = {
        {"tarnwicker_address_up" + a, 1},
        {"tarnwicker_address_up" + s, 0},
        {"tarnwicker_address_quality_ratio" + a, 0.96},
        {"tarnwicker_address_quality_ratio" + s, 0},
        {"tarnwicker_address_round_trip_seconds" + a, 0.002},
        {"tarnwicker_address_round_trip_seconds" + s, 0.812},
        {"tarnwicker_address_echo_requests_total" + a, 8},
        {"tarnwicker_address_echo_replies_total" + a, 7},
        {"tarnwicker_address_echo_requests_total" + s, 8},
        {"tarnwicker_address_echo_replies_total" + s, 0},
        {"tarnwicker_address_last_verdict_timestamp_seconds" + a, 1'700'000'001.5},
        {"tarnwicker_address_down_verdicts" + a, 0},
        {"tarnwicker_address_down_verdicts" + s, 2},
        {"tarnwicker_cycles_total", 1},
        {"tarnwicker_cycle_duration_seconds", 2.5},
        {"tarnwicker_last_cycle_end_timestamp_seconds", 1'700'000'001.5},
        {"tarnwicker_cycle_interval_seconds", 300},
        {"tarnwicker_addresses", 2},
    };
    for (const Expect& e : expected)
        EXPECT_EQ(sample(text, e.series), e.value) << e.series << "\n" << text;

    // Removed from the list: gone at the next cycle's end, not before.
    metrics.cycleEnded({100, 5, {answering}});
    const std::string after = metrics.exposition();
    EXPECT_TRUE(sample(after, "tarnwicker_address_up" + a));
    EXPECT_EQ(after.find("203.0.113.7"), std::string::npos) << after;
    EXPECT_EQ(sample(after, "tarnwicker_addresses"), 1);
    EXPECT_EQ(sample(after, "tarnwicker_cycles_total"), 2);

    // An answer ends a run of unanswered verdicts.
    metrics.addressJudged({answering, false, 0, 0, 1, 0});
    EXPECT_EQ(sample(metrics.exposition(), "tarnwicker_address_down_verdicts" + a), 1);
    metrics.addressJudged({answering, true, 50, 1, 1, 1});
    EXPECT_EQ(sample(metrics.exposition(), "tarnwicker_address_down_verdicts" + a), 0);
}

TEST(MonitorMetrics, CountsAlarmsSendsAndReceivedDatagrams)
{
    MonitorMetrics metrics;
    const std::string before = metrics.exposition();
    // Every kind, channel and result is there from the start, at 0.
    EXPECT_EQ(sample(before, R"(tarnwicker_alarms_raised_total{kind="Remote"})"), 0);
    EXPECT_EQ(sample(before, R"(tarnwicker_alarm_sends_total{channel="telephone",result="failed"})"), 0);
    EXPECT_EQ(sample(before, R"(tarnwicker_received_datagrams_total{result="dropped"})"), 0);

    for (int kind : {Break, Break, Bad, Slow, Remote, CallTest, NoAlarm})
        metrics.alarmRaised(kind);
    metrics.alarmSent(AlarmChannel::Sound, true);
    metrics.alarmSent(AlarmChannel::Udp, false);
    metrics.alarmSent(AlarmChannel::Udp, false);
    metrics.alarmSent(AlarmChannel::Messenger, true);
    metrics.alarmSent(AlarmChannel::Mail, false);
    metrics.alarmSent(AlarmChannel::Telephone, true);
    metrics.datagramReceived(true);
    metrics.datagramReceived(false);
    metrics.datagramReceived(false);

    const std::string text = metrics.exposition();
    struct Expect {
        const char* series;
        double value;
    };
    const Expect expected[] = {
        {R"(tarnwicker_alarms_raised_total{kind="Break"})", 2},
        {R"(tarnwicker_alarms_raised_total{kind="Bad"})", 1},
        {R"(tarnwicker_alarms_raised_total{kind="Slow"})", 1},
        {R"(tarnwicker_alarms_raised_total{kind="Remote"})", 1},
        {R"(tarnwicker_alarm_sends_total{channel="sound",result="ok"})", 1},
        {R"(tarnwicker_alarm_sends_total{channel="udp",result="failed"})", 2},
        {R"(tarnwicker_alarm_sends_total{channel="udp",result="ok"})", 0},
        {R"(tarnwicker_alarm_sends_total{channel="messenger",result="ok"})", 1},
        {R"(tarnwicker_alarm_sends_total{channel="mail",result="failed"})", 1},
        {R"(tarnwicker_alarm_sends_total{channel="telephone",result="ok"})", 1},
        {R"(tarnwicker_received_datagrams_total{result="accepted"})", 1},
        {R"(tarnwicker_received_datagrams_total{result="dropped"})", 2},
    };
    for (const Expect& e : expected)
        EXPECT_EQ(sample(text, e.series), e.value) << e.series << "\n" << text;
    // The operator's telephone test is no alarm kind of its own.
    EXPECT_EQ(text.find("kind=\"CallTest\""), std::string::npos);
}

TEST(MetricsServer, AnswersOnlyGetMetrics)
{
    MonitorMetrics metrics;
    metrics.addressJudged({QStringLiteral("192.0.2.1:总部"), true, 100, 1, 1, 1});
    const int port = freePort();
    ASSERT_NE(port, 0);
    MetricsEndpoint endpoint;
    endpoint.port = port;
    MetricsServer server(endpoint, [&metrics] { return metrics.exposition(); });
    EXPECT_EQ(server.port(), port);

    const std::string scrape = httpGet(port, "/metrics");
    EXPECT_EQ(httpStatus(scrape), 200) << scrape;
    EXPECT_NE(httpBody(scrape).find(R"(tarnwicker_address_up{address="192.0.2.1",name="总部"} 1)"), std::string::npos)
        << scrape;

    struct Refused {
        std::string request;
        int status;
    };
    const std::string tail = " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    const Refused refused[] = {
        {"GET /" + tail, 404},
        {"GET /metrics/" + tail, 404},
        {"GET /metrics/x" + tail, 404},
        {"GET /metricsx" + tail, 404},
        {"GET /x/../metrics" + tail, 404},
        {"GET /%2e%2e/etc/passwd" + tail, 404},
        {"GET //metrics" + tail, 404},
        {"POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nConnection: close\r\n\r\nabc", 405},
        {"HEAD /metrics" + tail, 405},
        {"PUT /metrics" + tail, 405},
        {"DELETE /metrics" + tail, 405},
        {"OPTIONS /metrics" + tail, 405},
        {"PROPFIND /metrics" + tail, 405},
    };
    for (const Refused& r : refused) {
        const std::string response = httpExchange(port, r.request);
        EXPECT_EQ(httpStatus(response), r.status) << r.request << "\n" << response;
        EXPECT_EQ(response.find("tarnwicker_"), std::string::npos) << r.request;
    }
    // Still serving after them.
    EXPECT_EQ(httpStatus(httpGet(port, "/metrics")), 200);
}

TEST(MetricsServer, APortInUseIsOneClearFailure)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    MetricsEndpoint endpoint;
    endpoint.port = holder.serverPort();
    MonitorMetrics metrics;
    try {
        MetricsServer server(endpoint, [&metrics] { return metrics.exposition(); });
        FAIL() << "served on a port in use";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("指标服务端口%1被占用，指标服务未启动。").arg(endpoint.port));
    }
}

// The scrape configuration and alerting rules that come with the monitor, checked by Prometheus's
// own tool, and the rules run against series of our own (tarnwicker-rules.test.yml).
TEST(PrometheusFiles, PassPromtoolsChecksAndOurRuleTests)
{
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    ASSERT_FALSE(promtool.isEmpty()) << "promtool is not installed (Debian package prometheus)";
    const QString dist = QStringLiteral(TW_SOURCE_DIR "/dist/prometheus/");
    const QStringList runs[] = {
        {QStringLiteral("check"), QStringLiteral("config"), dist + QStringLiteral("prometheus.yml")},
        {QStringLiteral("check"), QStringLiteral("rules"), dist + QStringLiteral("tarnwicker-rules.yml")},
        {QStringLiteral("test"), QStringLiteral("rules"),
         QStringLiteral(TW_SOURCE_DIR "/tests/metrics/tarnwicker-rules.test.yml")},
    };
    for (const QStringList& arguments : runs) {
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(promtool, arguments);
        ASSERT_TRUE(run.waitForFinished(60000)) << arguments.join(u' ').toStdString();
        EXPECT_EQ(run.exitCode(), 0) << arguments.join(u' ').toStdString() << "\n" << run.readAll().constData();
    }
}

// The dashboard is JSON that Grafana takes, and draws the series the monitor exposes.
TEST(PrometheusFiles, DashboardDrawsExposedSeries)
{
    QFile file(QStringLiteral(TW_SOURCE_DIR "/dist/prometheus/tarnwicker-dashboard.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonObject dashboard = QJsonDocument::fromJson(file.readAll(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    MonitorMetrics metrics;
    metrics.addressJudged({QStringLiteral("192.0.2.1:总部"), true, 100, 1, 1, 1});
    metrics.cycleEnded({1, 1, {QStringLiteral("192.0.2.1:总部")}});
    const std::string exposed = metrics.exposition();
    static const QRegularExpression name(QStringLiteral("tarnwicker_[a-z_]+"));
    int drawn = 0;
    for (const QJsonValue& panel : dashboard[QStringLiteral("panels")].toArray()) {
        for (const QJsonValue& target : panel[QStringLiteral("targets")].toArray()) {
            const QString expr = target[QStringLiteral("expr")].toString();
            for (const QRegularExpressionMatch& m : name.globalMatch(expr)) {
                ++drawn;
                EXPECT_NE(exposed.find(m.captured().toStdString()), std::string::npos) << m.captured().toStdString();
            }
        }
    }
    EXPECT_GE(drawn, 2);
}
