// Helpers of the stand-in server's tests: protocol bytes written by hand
// (texts, numbers, records as the archive spells them), a raw loop-back
// client that sends one message and reads one, and a server set up for a
// test (ephemeral port, instant printer actions, a data root in the test's
// prefix).
#pragma once
#include "standins/wendaro/wendaroServer.h"
#include "tests/support/tempPrefix.h"
#include "tests/support/waitUntil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace wendaroTest {

using bytes_t = std::vector<std::uint8_t>;

inline bytes_t operator+(bytes_t a, const bytes_t& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A wide archive string of an ASCII text.
inline bytes_t wide(const std::string& text)
{
    bytes_t out{0xFF, 0xFE, 0xFF};
    if (text.size() <= 254) {
        out.push_back(static_cast<std::uint8_t>(text.size()));
    } else {
        out.push_back(0xFF);
        out.push_back(static_cast<std::uint8_t>(text.size()));
        out.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    }
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

inline bytes_t u32(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

inline bytes_t f64(double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    bytes_t out;
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    return out;
}

inline bytes_t connectWord(bool control, std::int32_t machine, const std::string& user = "tech")
{
    return wide(control ? "QVRcontrolConnect" : "QVRnormalConnect") + u32(static_cast<std::uint32_t>(machine)) +
           wide(user) + f64(12.0);
}

// "CMND" and the queued packet [n][code][payload].
inline bytes_t cmnd(std::uint8_t code, const bytes_t& payload = {})
{
    bytes_t packet{static_cast<std::uint8_t>(1 + payload.size()), code};
    return wide("CMND") + packet + payload;
}

inline bool startsWith(const bytes_t& message, const bytes_t& prefix)
{
    return message.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), message.begin());
}

inline bool contains(const bytes_t& message, const bytes_t& part)
{
    return std::search(message.begin(), message.end(), part.begin(), part.end()) != message.end();
}

// Where a part starts in the message (npos when absent).
inline std::size_t find(const bytes_t& message, const bytes_t& part)
{
    const auto at = std::search(message.begin(), message.end(), part.begin(), part.end());
    return at == message.end() ? std::string::npos : static_cast<std::size_t>(at - message.begin());
}

// The reply packet after "RESP" (empty when the message has none).
inline bytes_t respPacket(const bytes_t& message)
{
    const std::size_t at = find(message, wide("RESP"));
    if (at == std::string::npos)
        return {};
    return bytes_t(message.begin() + static_cast<std::ptrdiff_t>(at + wide("RESP").size()), message.end());
}

// A client on a raw loop-back socket. Each receive waits for one whole
// message: the server sends each with one send and Nagle off, so on
// loop-back it arrives in one piece; a short settle gathers a piece that
// did not.
class rawClient_t {
public:
    explicit rawClient_t(int port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~rawClient_t() { close(); }
    rawClient_t(const rawClient_t&) = delete;
    rawClient_t& operator=(const rawClient_t&) = delete;

    bool connected() const { return fd_ >= 0; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool send(const bytes_t& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // One message; nothing when none comes in time or the server closed.
    std::optional<bytes_t> receive(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        bytes_t out;
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        std::uint8_t buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closedByPeer_ = n == 0;
                break;
            }
            out.insert(out.end(), buffer, buffer + n);
            pollfd more{fd_, POLLIN, 0};
            if (::poll(&more, 1, 30) <= 0)
                break;
        }
        if (out.empty())
            return std::nullopt;
        return out;
    }

    std::optional<bytes_t> exchange(const bytes_t& request)
    {
        if (!send(request))
            return std::nullopt;
        return receive();
    }

    // True when nothing arrives within the time (the server sends nothing
    // unasked).
    bool quietFor(std::chrono::milliseconds time)
    {
        pollfd ready{fd_, POLLIN, 0};
        return ::poll(&ready, 1, static_cast<int>(time.count())) == 0;
    }

    // The server closed the connection (within the time).
    bool closedWithin(std::chrono::milliseconds time)
    {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(time.count())) <= 0)
            return false;
        std::uint8_t byte;
        return ::recv(fd_, &byte, 1, MSG_PEEK) == 0;
    }

    // Greeting, answer, accepted: the greeting answer's bytes.
    std::optional<bytes_t> connectTo(std::int32_t machine, bool control = true, const std::string& user = "tech")
    {
        const auto greeting = receive();
        if (!greeting)
            return std::nullopt;
        return exchange(connectWord(control, machine, user));
    }

private:
    int fd_ = -1;
    bool closedByPeer_ = false;
};

// A printer that acts at once, for tests that do not watch time pass.
inline simPrinterConfig_t instantPrinter(std::uint32_t id)
{
    simPrinterConfig_t printer;
    printer.machineID = id;
    printer.actionMs = 0;
    printer.initMs = 0;
    printer.layerMs = 20;
    return printer;
}

inline wendaroConfig_t testConfig(const std::vector<std::uint32_t>& machines = {1})
{
    wendaroConfig_t config;
    config.port = 0;
    for (std::uint32_t id : machines) {
        wendaroMachineConfig_t machine;
        machine.printer = instantPrinter(id);
        config.machines.push_back(machine);
    }
    return config;
}

}  // namespace wendaroTest
