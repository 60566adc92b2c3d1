// The pieces of a loopback machines server that the link benchmarks share:
// texts as the archive writes them, whole sends, a status reply, the
// opening of a technician's session (greeting, then control access) and a
// listener that serves one connection on a thread.
#pragma once
#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace loopbackMachine {

using bytes_t = std::vector<std::uint8_t>;

inline bytes_t wide(const std::string& text)
{
    bytes_t out = {0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(text.size())};
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

inline void append(bytes_t& to, const bytes_t& more) { to.insert(to.end(), more.begin(), more.end()); }

inline void appendU32(bytes_t& to, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        to.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline bool sendAll(int fd, const bytes_t& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A status reply of the given packet type: machine 1, initialised, in the
// given state.
inline bytes_t statusReply(std::uint8_t type, std::uint8_t state)
{
    bytes_t out = wide("RESP");
    bytes_t status(61, 0);
    status[0] = type;
    status[1] = 1;
    status[1 + 12] = 1u << 5;
    status[1 + 50] = state;
    append(out, status);
    return out;
}

// The greeting, the technician's request read into buffer, and access
// granted; false when the client went away.
inline bool openSession(int fd, std::vector<std::uint8_t>& buffer)
{
    bytes_t greeting = wide("BrevanquillorMachinesServer");
    double versions[2] = {12.0, 12.0};
    const auto* raw = reinterpret_cast<const std::uint8_t*>(versions);
    greeting.insert(greeting.end(), raw, raw + sizeof versions);
    appendU32(greeting, 0);
    if (!sendAll(fd, greeting))
        return false;
    if (::recv(fd, buffer.data(), buffer.size(), 0) <= 0)
        return false;
    bytes_t answer = wide("QVRcontrolConnect");
    appendU32(answer, 1);
    append(answer, wide("Bench"));
    return sendAll(fd, answer);
}

inline void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// A loopback listener on an ephemeral port whose one connection is served
// on a thread by the given function.
class loopbackListener_t {
public:
    template <class F> explicit loopbackListener_t(F serve)
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listenFd_, 4);
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, serve] {
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0)
                return;
            noDelay(fd);
            connection_.store(fd);
            serve(fd, stop_);
        });
    }
    ~loopbackListener_t()
    {
        stop_.store(true);
        ::shutdown(listenFd_, SHUT_RDWR);
        const int fd = connection_.load();
        if (fd >= 0)
            ::shutdown(fd, SHUT_RDWR);
        thread_.join();
        if (fd >= 0)
            ::close(fd);
        ::close(listenFd_);
    }
    int port() const { return port_; }

private:
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<int> connection_{-1};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace loopbackMachine
