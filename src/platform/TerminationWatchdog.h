#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// The last resort of an orderly end: once armed, it ends the process (status 1, one line on
// standard error) unless it is disarmed within the grace time. An end that hangs somewhere (a name
// look-up that never returns, a wait that does not watch for the end) must not leave a monitor
// that no longer monitors but still runs.
class TerminationWatchdog {
public:
    static constexpr std::chrono::milliseconds kDefaultGrace{5000};

    explicit TerminationWatchdog(std::chrono::milliseconds grace = kDefaultGrace);
    ~TerminationWatchdog(); // disarms
    TerminationWatchdog(const TerminationWatchdog&) = delete;
    TerminationWatchdog& operator=(const TerminationWatchdog&) = delete;

    // Starts the grace time; a second call leaves it running as it is.
    void arm();
    void disarm() noexcept;

private:
    std::chrono::milliseconds m_grace;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_disarmed = false;
    std::thread m_thread;
};
