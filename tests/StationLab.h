#pragma once

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
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

// Two stations in two network namespaces made for one test and removed with it, joined by a veth
// pair, so that both can use the same alarm port:
//
//   station A 192.0.2.1 and 192.0.2.3 ── 192.0.2.2 station B
//
// The names carry the test's pid; labs of killed test processes are removed by the next one.
class StationLab {
public:
    enum class Station { A, B };
    static constexpr const char* kA = "192.0.2.1";
    static constexpr const char* kA2 = "192.0.2.3";
    static constexpr const char* kB = "192.0.2.2";

    // Empty when the lab can be built here; otherwise why not (for GTEST_SKIP).
    static std::string unavailableReason()
    {
        if (::geteuid() != 0)
            return "network namespaces need root";
        if (run("ip -V") != 0)
            return "the ip command (iproute2) is missing";
        return {};
    }

    StationLab()
    {
        removeStale();
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

    // Runs the function on a thread of its own that has entered the namespace, and waits for it.
    // Sockets made there stay in the namespace; threads started there too.
    void runIn(Station s, const std::function<void()>& work) const
    {
        std::exception_ptr failure;
        const std::string path = "/run/netns/" + name(s);
        std::thread thread([&] {
            try {
                const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0)
                    throw std::runtime_error("station lab: cannot enter " + path);
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

    static int run(const std::string& command, std::string* output = nullptr)
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

private:
    static constexpr const char* kPrefix = "twst";

    static void mustRun(const std::string& command)
    {
        std::string output;
        if (run(command, &output) != 0)
            throw std::runtime_error("station lab: `" + command + "` failed: " + output);
    }

    static void removeStale()
    {
        DIR* dir = ::opendir("/run/netns");
        if (!dir)
            return;
        std::vector<std::string> stale;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.rfind(kPrefix, 0) != 0)
                continue;
            const pid_t owner = pid_t(std::atol(name.c_str() + std::string(kPrefix).size()));
            if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
                stale.push_back(name);
        }
        ::closedir(dir);
        for (const std::string& name : stale)
            run("ip netns del " + name);
    }

    void removeAll() noexcept
    {
        for (const std::string* ns : {&m_a, &m_b})
            if (!ns->empty())
                run("ip netns del " + *ns);
    }

    std::string m_a;
    std::string m_b;
};
