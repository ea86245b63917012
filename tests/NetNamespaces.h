#pragma once

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// What the network labs of the tests share: shell commands, entering a namespace, and removing the
// namespaces that a killed test process left behind (their names carry its pid after a prefix).
namespace NetNamespaces {

// Runs a shell command, returns its status and what it printed.
inline int run(const std::string& command, std::string* output = nullptr)
{
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 256> chunk{};
    std::string text;
    while (std::fgets(chunk.data(), int(chunk.size()), pipe))
        text += chunk.data();
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return status;
}

inline void mustRun(const std::string& command)
{
    std::string output;
    if (run(command, &output) != 0)
        throw std::runtime_error("network lab: `" + command + "` failed: " + output);
}

// Empty when namespaces can be made here; otherwise why not (for GTEST_SKIP).
inline std::string unavailableReason()
{
    if (::geteuid() != 0)
        return "network namespaces need root";
    if (run("ip -V") != 0)
        return "the ip command (iproute2) is missing";
    return {};
}

inline void removeStale(const std::string& prefix)
{
    DIR* dir = ::opendir("/run/netns");
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0)
            continue;
        const pid_t owner = pid_t(std::atol(name.c_str() + prefix.size()));
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            stale.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : stale)
        run("ip netns del " + name);
}

// Runs the function on a thread of its own that has entered the namespace, and waits for it.
// Sockets made there stay in the namespace; threads started there too.
inline void runIn(const std::string& name, const std::function<void()>& work)
{
    std::exception_ptr failure;
    const std::string path = "/run/netns/" + name;
    std::thread thread([&] {
        try {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0)
                throw std::runtime_error("network lab: cannot enter " + path);
            ::close(fd);
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Moves the calling thread into the namespace while it lives (the sockets the thread makes are made
// there) and back again; for a thread, such as the window's, that cannot be handed to runIn.
class ThreadInNamespace {
public:
    explicit ThreadInNamespace(const std::string& name)
        : m_home(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        const int target = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        m_entered = m_home >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
        if (target >= 0)
            ::close(target);
    }
    ~ThreadInNamespace()
    {
        if (m_entered)
            ::setns(m_home, CLONE_NEWNET);
        if (m_home >= 0)
            ::close(m_home);
    }
    ThreadInNamespace(const ThreadInNamespace&) = delete;
    ThreadInNamespace& operator=(const ThreadInNamespace&) = delete;
    bool entered() const { return m_entered; }

private:
    int m_home;
    bool m_entered = false;
};

// A namespace with nothing but its loopback, made for one test and removed with it. A name looked
// up there asks a resolver that cannot be reached, so the question never leaves the machine; and no
// server of the machine listens on its loopback.
class LoopbackOnly {
public:
    LoopbackOnly()
    {
        static std::atomic<int> made{0};
        removeStale(kPrefix);
        m_name = kPrefix + std::to_string(::getpid()) + "_" + std::to_string(made++);
        mustRun("ip netns add " + m_name);
        try {
            mustRun("ip -n " + m_name + " link set lo up");
        } catch (...) {
            run("ip netns del " + m_name);
            throw;
        }
    }
    ~LoopbackOnly() { run("ip netns del " + m_name); }
    LoopbackOnly(const LoopbackOnly&) = delete;
    LoopbackOnly& operator=(const LoopbackOnly&) = delete;

    void runIn(const std::function<void()>& work) const { NetNamespaces::runIn(m_name, work); }

private:
    static constexpr const char* kPrefix = "twlo";
    std::string m_name;
};

} // namespace NetNamespaces
