// What the ping cycle hands to the history: after each address's verdict (normal ones included), the
// round trips of the requests answered and the number lost; and, against a host that answers after
// known delays or not at all, what the round-robin file holds after a few cycles.
#include "HostResponder.h"
#include "NetLabTest.h"
#include "PingCycleFakes.h"
#include "records/HistoryTestSupport.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/IcmpProbe.h"
#include "monitor/ParallelProbe.h"
#include "monitor/PingCycle.h"
#include "platform/TickClock.h"
#include "records/RrdFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace {

using std::chrono::milliseconds;

constexpr qint64 kT0 = 1796799900; // a step boundary

// Keeps what it is handed, and how many pane lines there were at that moment.
struct RecordingSink final : HistorySink {
    FakeHost* host = nullptr;
    std::vector<HistorySample> samples;
    std::vector<int> linesBefore;
    int cycles = 0;
    void record(const HistorySample& sample) override
    {
        samples.push_back(sample);
        linesBefore.push_back(int(host->info.size()));
    }
    void cycleEnded() override { ++cycles; }
};

// The real store, each cycle 5 minutes after the one before, so that every cycle has a row of its own.
struct FiveMinutesApart final : HistorySink {
    HistoryStore& store;
    int cycle = 0;
    explicit FiveMinutesApart(HistoryStore& s)
        : store(s)
    {}
    void record(const HistorySample& sample) override
    {
        HistorySample moved = sample;
        moved.msecsSinceEpoch = (kT0 + 300 * (cycle + 1)) * 1000;
        store.record(moved);
    }
    void cycleEnded() override
    {
        ++cycle;
        store.cycleEnded();
    }
};

double rowValue(const QString& path, int cycle, const char* name)
{
    QString error;
    const qint64 t = kT0 + 300 * (cycle + 1);
    const auto rows = RrdFile::fetch(path, "AVERAGE", t - 300, t, &error);
    if (!rows || rows->rowCount() < 1 || rows->rowEnd(0) != t) {
        ADD_FAILURE() << "no row for cycle " << cycle << ": " << error.toStdString();
        return NAN;
    }
    return rows->at(0, QString::fromLatin1(name));
}

} // namespace

TEST(HistoryOfTheCycle, EveryAddressIsHandedOverAfterItsVerdict)
{
    FakeHost host;
    host.lines = {QStringLiteral("10.0.0.1:正常=100%,12"), QStringLiteral("10.0.0.2:丢包=100%,12"),
                  QStringLiteral("10.0.0.3:不通=100%,12")};
    host.settings.ignoreNormal = true; // the normal address writes no line, and still has its history
    ScriptedProbe probe;
    probe.script = {answered(10), answered(20), answered(12),
                    answered(14), // normal
                    answered(30), timedOut(),   withStatus(ReplyStatusType::Unreachable, 3),
                    answered(50), raised(),     raised(),
                    raised(),     raised()};
    AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; }, [&](const QString& l) { host.addInfo(l); }};
    PingCycle cycle(host, probe, dispatch);
    RecordingSink sink;
    sink.host = &host;
    cycle.setHistory(&sink);
    cycle.bbPingClick();

    ASSERT_EQ(sink.samples.size(), 3u);
    EXPECT_EQ(sink.cycles, 1);
    const std::vector<std::vector<quint32>> roundTrips = {{10, 20, 12, 14}, {30, 50}, {}};
    const int lost[] = {0, 2, 4};
    // "Ping开始...", no line for the normal address, packet loss and slow, unreachable.
    const int linesAfterVerdict[] = {1, 3, 4};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.samples[i].key, host.lines[i].section('=', 0, 0));
        EXPECT_EQ(sink.samples[i].roundTrips, roundTrips[i]) << i;
        EXPECT_EQ(sink.samples[i].sent, 4);
        EXPECT_EQ(sink.samples[i].lost, lost[i]);
        EXPECT_EQ(sink.linesBefore[i], linesAfterVerdict[i]) << i;
        EXPECT_NEAR(double(sink.samples[i].msecsSinceEpoch), double(QDateTime::currentMSecsSinceEpoch()), 60000);
    }
}

class HistoryAgainstAHost : public NetLabTest<> {
protected:
    // Runs `cycles` cycles from the probe namespace into the store; `parallel` addresses at a time.
    void runCycles(HistoryStore& store, const QStringList& lines, int cycles, int parallel)
    {
        m_lab->runIn(NetLab::Ns::Probe, [&] {
            FakeHost host;
            host.lines = lines;
            host.settings.pingCount = 4;
            host.settings.parallel = parallel;
            AlarmDispatch dispatch{[] { return AlarmDispatch::Switches{}; }, [](const QString&) {}};
            IcmpProbe oneByOne(TickClock::system());
            oneByOne.setReceiveTimeout(400);
            ParallelProbe sideBySide(TickClock::system());
            sideBySide.setReceiveTimeout(400);
            PingCycle cycle(host, oneByOne, dispatch, &sideBySide);
            FiveMinutesApart sink(store);
            cycle.setHistory(&sink);
            for (int i = 0; i < cycles; ++i)
                cycle.bbPingClick();
        });
    }
};

// Netem is not at hand on every kernel: the host answers through a responder that waits itself,
// and notes how long each request really waited there (the machine may add a few ms to a wait).
TEST_F(HistoryAgainstAHost, TheFileHoldsTheRoundTripsAndLossesOfEachCycle)
{
    // Delays of the four requests of each cycle; -1: not answered.
    const int delays[3][4] = {{30, 80, -1, 150}, {20, 20, 40, 60}, {-1, -1, -1, -1}};
    std::mutex mutex;
    std::vector<double> waited[3]; // of the answered requests, per cycle
    std::atomic<int> arrived{0};
    HostResponder responder(*m_lab, [&](int fd, const HostResponder::Request& request) {
        const int n = arrived++;
        const int delay = n < 12 ? delays[n / 4][n % 4] : -1;
        if (delay < 0)
            return;
        std::this_thread::sleep_until(request.arrived + milliseconds(delay));
        const auto answeredAt = std::chrono::steady_clock::now();
        HostResponder::answer(fd, request);
        std::lock_guard lock(mutex);
        waited[n / 4].push_back(std::chrono::duration<double, std::milli>(answeredAt - request.arrived).count());
    });
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const QString key = QStringLiteral("%1:延迟").arg(QLatin1String(NetLab::kHost));
    runCycles(s.store(), {key}, 3, 1);
    s.settle();
    EXPECT_TRUE(s.lines.isEmpty()) << s.lines.join('\n').toStdString();
    const QString path = s.store().filePath(key);

    std::lock_guard lock(mutex);
    ASSERT_EQ(waited[0].size(), 3u);
    ASSERT_EQ(waited[1].size(), 4u);
    std::sort(waited[0].begin(), waited[0].end());
    std::sort(waited[1].begin(), waited[1].end());
    const std::vector<double>& w0 = waited[0];
    const std::vector<double>& w1 = waited[1];
    // Three answers, picked at even steps from the fastest: 1st, 2nd, 2nd, 3rd; four: every one.
    const double spread[2][4] = {{w0[0], w0[1], w0[1], w0[2]}, {w1[0], w1[1], w1[2], w1[3]}};
    const double median[2] = {w0[1], (w1[1] + w1[2]) / 2};
    const double loss[3] = {0.25, 0, 1};
    const char* names[] = {"rtt1", "rtt2", "rtt3", "rtt4"};
    for (int c = 0; c < 3; ++c) {
        EXPECT_DOUBLE_EQ(rowValue(path, c, "loss"), loss[c]) << "cycle " << c;
        if (c == 2) {
            EXPECT_EQ(rowValue(path, c, "up"), 0);
            EXPECT_TRUE(std::isnan(rowValue(path, c, "median")));
            continue;
        }
        EXPECT_NEAR(rowValue(path, c, "median"), median[c], 2) << "cycle " << c;
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(rowValue(path, c, names[j]), spread[c][j], 2) << "cycle " << c << " " << names[j];
    }
}

TEST_F(HistoryAgainstAHost, SideBySideEachAddressGetsItsOwn)
{
    HostResponder responder(*m_lab, [](int fd, const HostResponder::Request& request) {
        std::this_thread::sleep_until(request.arrived + milliseconds(40));
        HostResponder::answer(fd, request);
    });
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const QString answering = QStringLiteral("%1:答").arg(QLatin1String(NetLab::kHost));
    const QString silent = QStringLiteral("%1:静").arg(QLatin1String(NetLab::kSilent));
    runCycles(s.store(), {silent, answering}, 2, 2);
    s.settle();
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(rowValue(s.store().filePath(silent), c, "loss"), 1);
        EXPECT_EQ(rowValue(s.store().filePath(answering), c, "loss"), 0);
        // The responder's waits are 40 ms and a little more on a busy machine.
        EXPECT_GE(rowValue(s.store().filePath(answering), c, "rtt1"), 39);
        EXPECT_LE(rowValue(s.store().filePath(answering), c, "rtt4"), 60);
    }
}
