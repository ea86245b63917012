#pragma once

#include <QString>

#include <optional>

class AlarmDispatch;
class EchoProbe;
class PingCycleHost;

// One pass over the address list: the configured number of echo requests per address, its quality
// and average round-trip time against the line's stored values, a verdict line, the rewritten
// quality suffix, and an alarm for an address that is unreachable, lossy to the threshold or slow.
// After the last address the deferred alarm channels run (mail, telephone).
//
// Only one cycle runs at a time. A start request that arrives while a cycle runs (the countdown
// running out, the tray menu's Ping, Ping pressed again after a Cancel) is ignored: the running
// cycle is fresh enough, and a cycle queued behind a cancelled one would undo the Cancel.
class PingCycle {
public:
    PingCycle(PingCycleHost& host, EchoProbe& probe, AlarmDispatch& dispatch);

    // Runs one whole cycle and returns when it has ended; returns at once if one is running.
    void bbPingClick();

    // Cancel: clears a current alarm, or hides the window when idle, or stops a running cycle
    // after its current address.
    void bbCancClick();

    // Current alarm code 0, alarm sound stopped, sound index and telephone position 0, alarm sound
    // list emptied, "参数初始化成功！" written.
    void resetAlarmState();

    bool isRunning() const { return m_running; }

private:
    struct Tally {
        int failed;
        qint64 rttSum; // the stored round-trip time and those of the requests that ended with a status
    };

    void pingAddress(int index);
    // Nullopt when the end of the program cut the requests short.
    std::optional<Tally> sendEchoRequests(int index, int count, qint64 storedRtt);
    void giveVerdict(int index, int count, const Tally& tally, int storedQuality);

    PingCycleHost& m_host;
    EchoProbe& m_probe;
    AlarmDispatch& m_dispatch;
    bool m_running = false;
    QString m_lastFailure;
};
