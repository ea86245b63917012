#include "monitor/PingCycle.h"

#include "alarm/AlarmDispatch.h"
#include "monitor/CycleObserver.h"
#include "monitor/EchoProbe.h"
#include "monitor/PingCycleHost.h"
#include "monitor/PingVerdict.h"
#include "shared/AddressLine.h"
#include "shared/AlarmKind.h"
#include "shared/HistorySink.h"
#include "shared/TextSplit.h"

#include <QDateTime>

#include <QElapsedTimer>

#include <exception>
#include <functional>
#include <map>

using namespace PingVerdict;

namespace {

// Ends the running state however the cycle ends. Should a channel throw out of the cycle, the Ping
// button comes back, so that the operator can start the next cycle and the countdown can too.
class RunningScope {
public:
    RunningScope(bool& running, PingCycleHost& host)
        : m_running(running)
        , m_host(host)
        , m_exceptions(std::uncaught_exceptions())
    {
        m_running = true;
    }
    ~RunningScope()
    {
        m_running = false;
        if (std::uncaught_exceptions() > m_exceptions)
            m_host.setPingEnabled(true);
    }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    bool& m_running;
    PingCycleHost& m_host;
    int m_exceptions;
};

// Lends the probe a wait step for the requests of one address.
class WaitStepScope {
public:
    WaitStepScope(EchoProbe& probe, std::function<void()> step)
        : m_probe(probe)
    {
        m_probe.setWaitStep(std::move(step));
    }
    ~WaitStepScope() { m_probe.setWaitStep({}); }
    WaitStepScope(const WaitStepScope&) = delete;
    WaitStepScope& operator=(const WaitStepScope&) = delete;

private:
    EchoProbe& m_probe;
};

} // namespace

PingCycle::PingCycle(PingCycleHost& host, EchoProbe& probe, AlarmDispatch& dispatch, ParallelProbe* sideBySide)
    : m_host(host)
    , m_probe(probe)
    , m_dispatch(dispatch)
    , m_sideBySide(sideBySide)
{}

void PingCycle::bbPingClick()
{
    if (m_running)
        return;
    RunningScope scope(m_running, m_host);
    QElapsedTimer duration;
    duration.start();

    m_host.setPingEnabled(false);
    m_lastFailure.clear();
    m_host.hideReportPane();
    if (m_dispatch.currentCode() > 0)
        resetAlarmState();
    m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("Ping开始..."));

    // The count is taken once: lines deleted during the cycle read as empty ones.
    const int count = m_host.addressLineCount();
    const int parallel = qBound(1, m_host.pingSettings().parallel, kMaxParallel);
    if (m_sideBySide && parallel > 1)
        pingSideBySide(count, parallel);
    else
        pingOneByOne(count);

    m_host.verdictsWritten();
    if (m_history)
        m_history->cycleEnded();
    m_dispatch.DispatchDeferredAlarms();
    m_host.setPingEnabled(true);
    m_host.addInfo(m_host.timeStampPrefix() + QStringLiteral("Ping结束。"));
    if (m_observer) {
        QStringList lines;
        for (int i = 0, n = m_host.addressLineCount(); i < n; ++i)
            lines.append(m_host.addressLine(i));
        m_observer->cycleEnded({duration.elapsed(), m_host.pingSettings().intervalMinutes, lines});
    }
    m_host.switchCountdownOn();
}

void PingCycle::pingOneByOne(int count)
{
    for (int i = 0; i < count; ++i) {
        if (m_host.isPingEnabled() || m_host.isEnding())
            break; // stopped by Cancel or by the end of the program
        pingAddress(i);
    }
}

void PingCycle::pingSideBySide(int count, int limit)
{
    // Longest stretch without handling the window's messages while requests wait.
    constexpr int kMessageInterval = 50;
    struct Started {
        int storedQuality;
        qint64 storedRtt;
        int pingCount;
    };
    std::map<int, Started> started; // by line index, until the address's verdict is written
    m_sideBySide->abandon();        // whatever a cycle cut short by a failing alarm channel left in flight
    int next = 0;
    bool stopped = false;
    for (;;) {
        if (m_host.isEnding()) {
            // As one after the other: the addresses cut short get no verdict, nor those after them.
            m_sideBySide->abandon();
            return;
        }
        while (!stopped && next < count && m_sideBySide->busy() < limit) {
            if (m_host.isPingEnabled()) {
                stopped = true; // by Cancel: the addresses in flight are finished first
                break;
            }
            const QString line = TextSplit::trimmed(m_host.addressLine(next));
            const int pingCount = qMax(1, m_host.pingSettings().pingCount);
            started[next] = {AddressLine::storedQuality(line).value_or(100), AddressLine::storedRtt(line), pingCount};
            m_sideBySide->start(next, AddressLine::host(line), pingCount);
            ++next;
        }
        while (!started.empty()) {
            const auto [index, address] = *started.begin();
            const auto outcomes = m_sideBySide->takeFinished(index);
            if (!outcomes)
                break; // an address before the finished ones is still waiting
            giveVerdict(index, address.pingCount, tallyOutcomes(index, *outcomes, address.storedRtt),
                        address.storedQuality);
            started.erase(started.begin());
        }
        if (started.empty() && (stopped || next >= count))
            return;
        m_host.processEvents();
        if (const std::optional<int> open = m_sideBySide->takeRefusal(); open && *open < limit) {
            limit = qMax(1, *open);
            m_host.addInfo(m_host.timeStampPrefix() +
                           QStringLiteral("系统不能再打开更多的套接字，同时检测地址数暂减为%1。").arg(limit));
        }
        m_sideBySide->advance(kMessageInterval);
    }
}

PingCycle::Tally PingCycle::tallyOutcomes(int index, const std::vector<ParallelProbe::Outcome>& outcomes,
                                          qint64 storedRtt)
{
    Tally tally{0, storedRtt};
    for (const ParallelProbe::Outcome& outcome : outcomes) {
        QString text;
        if (!outcome) {
            text = failureTextOfError(); // counted, but adds nothing to the sum
        } else {
            tally.rttSum += outcome->msRoundTripTime;
            if (outcome->replyStatusType != ReplyStatusType::Echo)
                text = failureText(outcome->replyStatusType);
            else
                tally.answered.push_back(outcome->msRoundTripTime);
        }
        if (!text.isEmpty()) {
            ++tally.failed;
            m_lastFailure = AddressLine::entryKey(m_host.addressLine(index)) + text;
        }
    }
    return tally;
}

void PingCycle::pingAddress(int index)
{
    const QString line = TextSplit::trimmed(m_host.addressLine(index));
    const int storedQuality = AddressLine::storedQuality(line).value_or(100);
    m_probe.setHost(AddressLine::host(line));
    const int count = qMax(1, m_host.pingSettings().pingCount);
    if (const std::optional<Tally> tally = sendEchoRequests(index, count, AddressLine::storedRtt(line)))
        giveVerdict(index, count, *tally, storedQuality);
}

std::optional<PingCycle::Tally> PingCycle::sendEchoRequests(int index, int count, qint64 storedRtt)
{
    Tally tally{0, storedRtt};
    auto fail = [&](const QString& text) {
        ++tally.failed;
        m_lastFailure = AddressLine::entryKey(m_host.addressLine(index)) + text;
    };
    // While a request waits for its answer the window goes on handling its messages, as between
    // two requests; a Cancel among them stops the cycle after this address.
    WaitStepScope waitStep(m_probe, [this] { m_host.processEvents(); });
    for (int k = 0; k < count; ++k) {
        m_host.processEvents();
        if (m_host.isEnding())
            return std::nullopt;
        bool raised = false;
        try {
            m_probe.ping();
        } catch (...) {
            raised = true;
        }
        m_host.processEvents();
        if (m_host.isEnding())
            return std::nullopt;
        if (raised) {
            fail(failureTextOfError()); // counted, but adds nothing to the sum
            continue;
        }
        const ReplyStatus& result = m_probe.replyStatus();
        tally.rttSum += result.msRoundTripTime;
        if (result.replyStatusType != ReplyStatusType::Echo)
            fail(failureText(result.replyStatusType));
        else
            tally.answered.push_back(result.msRoundTripTime);
    }
    return tally;
}

void PingCycle::giveVerdict(int index, int count, const Tally& tally, int storedQuality)
{
    writeVerdict(index, count, tally, storedQuality);
    // Every address's cycle, normal or not, after its verdict line.
    if (m_history) {
        m_history->record({AddressLine::entryKey(m_host.addressLine(index)), QDateTime::currentMSecsSinceEpoch(),
                           tally.answered, count, tally.failed});
    }
}

void PingCycle::writeVerdict(int index, int count, const Tally& tally, int storedQuality)
{
    auto entryKey = [&] { return AddressLine::entryKey(m_host.addressLine(index)); };
    const int failed = tally.failed;
    int quality = runningQuality(currentQuality(count - failed, count), storedQuality);
    const int rtt = averageRtt(tally.rttSum, count);
    const PingSettings settings = m_host.pingSettings();

    auto report = [&](const QString& subject, const QString& verdict) {
        m_host.addInfo(verdictLine(m_host.timeStampPrefix(), subject, verdict, quality, rtt));
    };
    auto raise = [&](AlarmKind kind) {
        m_dispatch.setCurrentCode(kind);
        m_dispatch.DispatchAlarm(entryKey());
    };
    auto rewrite = [&] {
        if (m_observer)
            m_observer->addressJudged({m_host.addressLine(index), failed < count, quality, rtt, count, count - failed});
        m_host.setAddressLine(
            index, AddressLine::withSuffix(m_host.addressLine(index), AddressLine::cycleSuffix(quality, rtt)));
    };

    if (failed >= count) {
        report(m_lastFailure, unreachableText());
        rewrite();
        raise(Break);
        return;
    }
    const int previous = AddressLine::storedQuality(TextSplit::trimmed(m_host.addressLine(index))).value_or(0);
    if (previous == 0 && failed == 0) {
        quality = 100;
        report(entryKey(), restoredText());
    } else if (failed == 0 && !settings.ignoreNormal) {
        report(entryKey(), normalText());
    }
    if (failed > 0) {
        report(entryKey(), packetLossText());
        if (settings.qualityThreshold >= quality && settings.qualityAlarm)
            raise(Bad);
    }
    if (rtt >= settings.rttThreshold) {
        report(entryKey(), slowText());
        if (settings.rttAlarm)
            raise(Slow);
    }
    rewrite();
}

void PingCycle::bbCancClick()
{
    const AlarmDispatch::Switches on = m_dispatch.switches();
    if (on.any() && m_dispatch.currentCode() > 0) {
        resetAlarmState();
        if (on.telephone)
            m_host.endCallInProgress();
        m_dispatch.alarmCancelled();
        return;
    }
    if (m_host.isPingEnabled()) {
        m_host.closeWindow();
        return;
    }
    m_host.setPingEnabled(true);
}

void PingCycle::resetAlarmState()
{
    m_dispatch.setCurrentCode(NoAlarm);
    m_host.stopAlarmSound();
    m_host.resetAlarmPositions();
    m_host.clearAlarmSoundList();
    m_host.addInfo(QStringLiteral("参数初始化成功！"));
}
