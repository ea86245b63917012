#include "platform/TerminationFlag.h"

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

TerminationFlag::TerminationFlag()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_read = ends[0];
    m_write = ends[1];
}

TerminationFlag::~TerminationFlag()
{
    if (m_read >= 0)
        ::close(m_read);
    if (m_write >= 0)
        ::close(m_write);
}

void TerminationFlag::raise() noexcept
{
    // The byte is never read, so the pipe stays readable; a full pipe is raised already.
    const char byte = 1;
    if (m_write >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(m_write, &byte, 1);
    }
}

bool TerminationFlag::isRaised() const noexcept
{
    return isRaised(m_read);
}

bool TerminationFlag::isRaised(int handle) noexcept
{
    if (handle < 0)
        return false;
    pollfd entry{handle, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

#endif // _WIN32
