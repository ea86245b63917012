#include "platform/TickClock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

class SystemTickClock final : public TickClock {
public:
    quint32 now() const override
    {
#ifdef _WIN32
        return static_cast<quint32>(GetTickCount64());
#else
        // CLOCK_MONOTONIC does not jump when the operator sets the date, as the tick count must not.
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
        return static_cast<quint32>(ms);
#endif
    }
};

} // namespace

const TickClock& TickClock::system()
{
    static const SystemTickClock clock;
    return clock;
}
