#pragma once

#include "NetNamespaces.h"

#include <string>
#include <unistd.h>

// Two stations in two network namespaces made for one test and removed with it, joined by a veth
// pair, so that both can use the same alarm port:
//
//   station A 192.0.2.1 and 192.0.2.3 ── 192.0.2.2 station B
class StationLab {
public:
    enum class Station { A, B };
    static constexpr const char* kA = "192.0.2.1";
    static constexpr const char* kA2 = "192.0.2.3";
    static constexpr const char* kB = "192.0.2.2";

    static std::string unavailableReason() { return NetNamespaces::unavailableReason(); }

    StationLab()
    {
        using NetNamespaces::mustRun;
        NetNamespaces::removeStale(kPrefix);
        const std::string base = std::string(kPrefix) + std::to_string(::getpid());
        m_a = base + "a";
        m_b = base + "b";
        try {
            for (const std::string* ns : {&m_a, &m_b}) {
                mustRun("ip netns add " + *ns);
                mustRun("ip -n " + *ns + " link set lo up");
            }
            mustRun("ip -n " + m_a + " link add a0 type veth peer name b0 netns " + m_b);
            mustRun("ip -n " + m_a + " addr add 192.0.2.1/24 dev a0");
            mustRun("ip -n " + m_a + " addr add 192.0.2.3/24 dev a0");
            mustRun("ip -n " + m_b + " addr add 192.0.2.2/24 dev b0");
            mustRun("ip -n " + m_a + " link set a0 up");
            mustRun("ip -n " + m_b + " link set b0 up");
        } catch (...) {
            removeAll();
            throw;
        }
    }
    ~StationLab() { removeAll(); }
    StationLab(const StationLab&) = delete;
    StationLab& operator=(const StationLab&) = delete;

    const std::string& name(Station s) const { return s == Station::A ? m_a : m_b; }

    void runIn(Station s, const std::function<void()>& work) const { NetNamespaces::runIn(name(s), work); }

private:
    static constexpr const char* kPrefix = "twst";

    void removeAll() noexcept
    {
        for (const std::string* ns : {&m_a, &m_b})
            if (!ns->empty())
                NetNamespaces::run("ip netns del " + *ns);
    }

    std::string m_a;
    std::string m_b;
};
