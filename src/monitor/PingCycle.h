#pragma once

#include "monitor/ParallelProbe.h"

#include <QString>

#include <optional>
#include <vector>

class AlarmDispatch;
class CycleObserver;
class EchoProbe;
class HistorySink;
class PingCycleHost;

// One pass over the address list: the configured number of echo requests per address, its quality
// and average round-trip time against the line's stored values, a verdict line, the rewritten
// quality suffix, and an alarm for an address that is unreachable, lossy to the threshold or slow.
// After the last address the deferred alarm channels run (mail, telephone).
//
// With more than one address at a time (and a ParallelProbe to send them), the addresses are
// probed side by side, the window handling its messages while their requests wait; every address's
// results are held until those of the addresses before it are written, so that the pane, the lines
// and the alarms come in list order as in a cycle that takes one address after the other.
//
// Only one cycle runs at a time. A start request that arrives while a cycle runs (the countdown
// running out, the tray menu's Ping, Ping pressed again after a Cancel) is ignored: the running
// cycle is fresh enough, and a cycle queued behind a cancelled one would undo the Cancel.
class PingCycle {
public:
    PingCycle(PingCycleHost& host, EchoProbe& probe, AlarmDispatch& dispatch, ParallelProbe* sideBySide = nullptr);

    static constexpr int kMaxParallel = 256;

    // Runs one whole cycle and returns when it has ended; returns at once if one is running.
    void bbPingClick();

    // Cancel: clears a current alarm, or hides the window when idle, or stops a running cycle
    // after its current address.
    void bbCancClick();

    // Current alarm code 0, alarm sound stopped, sound index and telephone position 0, alarm sound
    // list emptied, "参数初始化成功！" written.
    void resetAlarmState();

    bool isRunning() const { return m_running; }

    // Where each address's round trips and losses go after its verdict; null: nowhere.
    void setHistory(HistorySink* history) { m_history = history; }
    // Who is told of each verdict and of each cycle's end; null: nobody.
    void setObserver(CycleObserver* observer) { m_observer = observer; }

private:
    struct Tally {
        int failed;
        qint64 rttSum; // the stored round-trip time and those of the requests that ended with a status
        std::vector<quint32> answered = {}; // round trips of the requests answered
    };

    void pingOneByOne(int count);
    void pingSideBySide(int count, int limit);
    void pingAddress(int index);
    Tally tallyOutcomes(int index, const std::vector<ParallelProbe::Outcome>& outcomes, qint64 storedRtt);
    // Nullopt when the end of the program cut the requests short.
    std::optional<Tally> sendEchoRequests(int index, int count, qint64 storedRtt);
    void giveVerdict(int index, int count, const Tally& tally, int storedQuality);
    void writeVerdict(int index, int count, const Tally& tally, int storedQuality);

    PingCycleHost& m_host;
    EchoProbe& m_probe;
    AlarmDispatch& m_dispatch;
    ParallelProbe* m_sideBySide;
    HistorySink* m_history = nullptr;
    bool m_running = false;
    QString m_lastFailure;
    CycleObserver* m_observer = nullptr;
};
