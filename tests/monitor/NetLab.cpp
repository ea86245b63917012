#include "NetLab.h"

#include "NetNamespaces.h"

#include <unistd.h>

using NetNamespaces::mustRun;
using NetNamespaces::run;

namespace {
constexpr const char* kPrefix = "twlab";
} // namespace

std::string NetLab::unavailableReason()
{
    return NetNamespaces::unavailableReason();
}

NetLab::NetLab()
{
    NetNamespaces::removeStale(kPrefix);
    const std::string base = kPrefix + std::to_string(::getpid());
    m_probe = base + "p";
    m_router = base + "r";
    m_host = base + "h";
    try {
        for (const std::string* ns : {&m_probe, &m_router, &m_host}) {
            mustRun("ip netns add " + *ns);
            mustRun("ip -n " + *ns + " link set lo up");
            // No redirects: a router that sends one would put an ICMP type the probe does not
            // expect on the wire. No rate limit: every test expects its own error message.
            mustRun("ip netns exec " + *ns +
                    " sysctl -q -w net.ipv4.conf.all.send_redirects=0"
                    " net.ipv4.conf.default.send_redirects=0 net.ipv4.icmp_ratelimit=0");
        }
        mustRun("ip -n " + m_probe + " link add p0 type veth peer name r0 netns " + m_router);
        mustRun("ip -n " + m_router + " link add r1 type veth peer name h0 netns " + m_host);
        mustRun("ip -n " + m_probe + " addr add 192.0.2.1/24 dev p0");
        mustRun("ip -n " + m_router + " addr add 192.0.2.254/24 dev r0");
        mustRun("ip -n " + m_router + " addr add 203.0.113.129/26 dev r1");
        mustRun("ip -n " + m_host + " addr add 203.0.113.130/26 dev h0");
        mustRun("ip -n " + m_probe + " link set p0 up");
        mustRun("ip -n " + m_router + " link set r0 up");
        mustRun("ip -n " + m_router + " link set r1 up");
        mustRun("ip -n " + m_host + " link set h0 up");
        mustRun("ip -n " + m_probe + " route add default via 192.0.2.254");
        mustRun("ip -n " + m_host + " route add default via 203.0.113.129");
        mustRun("ip netns exec " + m_probe + " sysctl -q -w net.ipv4.ping_group_range='0 2147483647'");
        mustRun("ip netns exec " + m_router + " sysctl -q -w net.ipv4.ip_forward=1");
        mustRun("ip netns exec " + m_host + " sysctl -q -w net.ipv4.ip_forward=1 net.ipv4.icmp_echo_ignore_all=1");
        mustRun("ip -n " + m_router + " route add unreachable 198.51.100.0/24");
        mustRun("ip -n " + m_router + " route add blackhole 203.0.113.0/26");
        mustRun("ip -n " + m_router + " route add 203.0.113.64/26 via 203.0.113.130");
        mustRun("ip -n " + m_host + " route add 203.0.113.64/26 via 203.0.113.129");
    } catch (...) {
        removeAll();
        throw;
    }
}

NetLab::~NetLab()
{
    removeAll();
}

void NetLab::removeAll() noexcept
{
    for (const std::string* ns : {&m_probe, &m_router, &m_host})
        run("ip netns del " + *ns);
}

const std::string& NetLab::name(Ns ns) const
{
    switch (ns) {
    case Ns::Probe:
        return m_probe;
    case Ns::Router:
        return m_router;
    default:
        return m_host;
    }
}

void NetLab::runIn(Ns ns, const std::function<void()>& work) const
{
    NetNamespaces::runIn(name(ns), work);
}
