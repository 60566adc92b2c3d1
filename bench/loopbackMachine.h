// The pieces of a loopback machines server that the link benchmarks share:
// texts as the archive writes them, whole sends, a status reply and the
// opening of a technician's session (greeting, then control access).
#pragma once
#include <cstdint>
#include <string>
#include <sys/socket.h>
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

}  // namespace loopbackMachine
