#pragma once

#include <functional>
#include <string>

// Three network namespaces made for one test and removed with it, even when the test fails:
//
//   probe 192.0.2.1 ── 192.0.2.254 router 203.0.113.129 ── 203.0.113.130 host
//
// The router answers 198.51.100.0/24 with destination unreachable, drops 203.0.113.0/26 without a
// word, and sends 203.0.113.64/26 to the host, which sends it back: a routing loop that ends in
// time exceeded. The host's kernel does not answer echo requests, so a responder of the test's own
// decides when it answers. The probe namespace lets every group open ICMP datagram sockets.
class NetLab {
public:
    static constexpr const char* kRouter = "192.0.2.254";
    static constexpr const char* kUnreachable = "198.51.100.7";
    static constexpr const char* kSilent = "203.0.113.7";
    static constexpr const char* kLooping = "203.0.113.77";
    static constexpr const char* kHost = "203.0.113.130";

    // Empty when the lab can be built here; otherwise why not (for GTEST_SKIP).
    static std::string unavailableReason();

    NetLab();  // throws std::runtime_error with the failing command and its output
    ~NetLab(); // removes the namespaces
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    enum class Ns { Probe, Router, Host };
    const std::string& name(Ns ns) const;

    // Runs the function on a thread of its own that has entered the namespace, and waits for it.
    void runIn(Ns ns, const std::function<void()>& work) const;

private:
    void removeAll() noexcept;

    std::string m_probe;
    std::string m_router;
    std::string m_host;
};
