#pragma once

#include "NetLab.h"
#include "monitor/IcmpPacket.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Answers echo requests in the lab's host namespace, whose kernel stays silent, from a raw socket on
// a thread of its own. The test decides when each request is answered: `onRequest` gets every echo
// request as it arrives and may answer it (or an earlier one) with `answer`.
class HostResponder {
public:
    struct Request {
        sockaddr_in from{};
        std::vector<quint8> icmp; // the echo request's ICMP message
        std::chrono::steady_clock::time_point arrived;
    };
    using Handler = std::function<void(int fd, const Request&)>;

    HostResponder(const NetLab& lab, Handler onRequest)
        : m_onRequest(std::move(onRequest))
    {
        std::future<void> ready = m_ready.get_future();
        m_thread = std::thread([this, &lab] { lab.runIn(NetLab::Ns::Host, [this] { serve(); }); });
        ready.wait(); // the first request must not go out before the responder listens
    }
    ~HostResponder()
    {
        m_stop = true;
        m_thread.join();
    }

    // Sends the echo reply to the request.
    static void answer(int fd, const Request& request)
    {
        std::vector<quint8> icmp = request.icmp;
        icmp[0] = IcmpPacket::kEchoReply;
        icmp[2] = icmp[3] = 0;
        const quint16 sum = IcmpPacket::checksum(icmp);
        icmp[2] = quint8(sum >> 8);
        icmp[3] = quint8(sum);
        ::sendto(fd, icmp.data(), icmp.size(), 0, reinterpret_cast<const sockaddr*>(&request.from),
                 sizeof request.from);
    }

private:
    void serve()
    {
        const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        m_ready.set_value();
        if (fd < 0)
            return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!m_stop && std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            Request request;
            request.arrived = std::chrono::steady_clock::now();
            quint8 buffer[1024];
            socklen_t fromLength = sizeof request.from;
            const ssize_t n =
                ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&request.from), &fromLength);
            const std::size_t h = std::size_t(buffer[0] & 0x0f) * 4;
            if (n < ssize_t(h + 8) || buffer[h] != IcmpPacket::kEchoRequest)
                continue;
            request.icmp.assign(buffer + h, buffer + n);
            m_onRequest(fd, request);
        }
        ::close(fd);
    }

    Handler m_onRequest;
    std::promise<void> m_ready;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
