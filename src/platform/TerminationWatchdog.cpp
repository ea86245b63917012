#include "platform/TerminationWatchdog.h"

#include <cstdio>
#include <cstdlib>

TerminationWatchdog::TerminationWatchdog(std::chrono::milliseconds grace)
    : m_grace(grace)
{}

TerminationWatchdog::~TerminationWatchdog()
{
    disarm();
}

void TerminationWatchdog::arm()
{
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable() || m_disarmed)
        return;
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        if (m_changed.wait_for(lock, m_grace, [this] { return m_disarmed; }))
            return;
        std::fprintf(stderr, "tarnwicker: the orderly end did not finish within %lld ms; ended without the log\n",
                     static_cast<long long>(m_grace.count()));
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    });
}

void TerminationWatchdog::disarm() noexcept
{
    {
        std::lock_guard lock(m_mutex);
        m_disarmed = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}
