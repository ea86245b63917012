#pragma once

// The end of the program as a blocking wait sees it: a handle that becomes readable once the end
// is requested and stays readable from then on. The echo probe and the mail connection poll it
// beside their socket, so that ending never waits for a silent host or a stalled server.
class TerminationFlag {
public:
    TerminationFlag();
    ~TerminationFlag();
    TerminationFlag(const TerminationFlag&) = delete;
    TerminationFlag& operator=(const TerminationFlag&) = delete;

    // The handle to poll for reading; -1 where none could be made (then nothing waits on it).
    int handle() const { return m_read; }

    // Marks the end as requested. Safe in a signal handler and on any thread.
    void raise() noexcept;
    bool isRaised() const noexcept;

    // True when `handle` (a TerminationFlag's, or -1 for none) is raised.
    static bool isRaised(int handle) noexcept;

private:
    int m_read = -1;
    int m_write = -1;
};
