#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

// One HTTP exchange over a plain socket with 127.0.0.1:port: the request's bytes exactly as given
// (hostile ones too), and everything the server sends until it closes, within the time limit.
// Empty when nothing could be connected.
// With `endRequest` the sending side is shut after the request, so that a server need not wait for
// the rest of one cut short (a server may take that as the client gone, and drop the answer).
inline std::string httpExchange(int port, const std::string& request, int timeoutMs = 5000, bool endRequest = true)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        for (std::size_t sent = 0; sent < request.size();) {
            const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += std::size_t(n);
        }
        if (endRequest)
            ::shutdown(fd, SHUT_WR);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[65536];
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd readable{fd, POLLIN, 0};
            if (left <= 0 || ::poll(&readable, 1, int(left)) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            response.append(buffer, std::size_t(n));
        }
    }
    ::close(fd);
    return response;
}

inline std::string httpGet(int port, const std::string& target)
{
    return httpExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 5000,
                        false);
}

// The status code of a response; 0 when it is no HTTP response.
inline int httpStatus(const std::string& response)
{
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12)
        return 0;
    return std::atoi(response.c_str() + 9);
}

inline std::string httpBody(const std::string& response)
{
    const std::size_t at = response.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : response.substr(at + 4);
}
