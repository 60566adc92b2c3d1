// Helpers of the client-device tests: server messages spelled byte by byte
// (texts, numbers, objects as the archive writes them), a small fake
// machines server that answers each client message on a scripted peer's
// connection, and notification lookups on a queue window.
#pragma once
#include "tests/link/hexBytes.h"
#include "tests/link/scriptedPeer.h"
#include "tests/support/queueWindow.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace clientTest {

// A wide archive string of an ASCII text: FF FE FF, the length, UTF-16LE.
inline bytes_t wide(const std::string& text)
{
    bytes_t out = hexBytes("FF FE FF");
    if (text.size() <= 254) {
        out.push_back(static_cast<uint8_t>(text.size()));
    } else {
        out.push_back(0xFF);
        out.push_back(static_cast<uint8_t>(text.size() & 0xFF));
        out.push_back(static_cast<uint8_t>(text.size() >> 8));
    }
    return out + utf16Bytes(text);
}

inline bytes_t u32(uint32_t v)
{
    return bytes_t{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                   static_cast<uint8_t>(v >> 24)};
}

inline bytes_t u16(uint32_t v)
{
    return bytes_t{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

inline bytes_t f64(double v)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    bytes_t out;
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    return out;
}

// The tag of the first object of a class in a message: FFFF, schema 1, name.
inline bytes_t newClass(const std::string& name)
{
    return hexBytes("FF FF 01 00") + u16(static_cast<uint32_t>(name.size())) + asciiBytes(name);
}

// A machineHostIDname_t object (its class named in full).
inline bytes_t machineObject(const std::string& host, uint32_t id, const std::string& name)
{
    return newClass("machineHostIDname_t") + u32(id) + u32(0) + u32(0) + wide(host) + wide(name);
}

// The server's greeting with one machine.
inline bytes_t greeting(double needed = 12.0, double version = 12.0, uint32_t machineId = 7)
{
    return wide("BrevanquillorMachinesServer") + f64(needed) + f64(version) + u32(1) +
           machineObject("QVRTEST", machineId, "Alpha");
}

inline bytes_t connectAnswer(bool control, uint32_t machineId, const std::string& name)
{
    return wide(control ? "QVRcontrolConnect" : "QVRnormalConnect") + u32(machineId) + wide(name);
}

// A 60-byte status record.
struct statusFields_t {
    uint32_t machineId = 7;
    uint8_t state = 7;
    uint32_t flags = 1u << 5;  // initialised
    int16_t layerCount = 0;
    int32_t byte16 = 0;
};

inline bytes_t statusRecord(const statusFields_t& s)
{
    bytes_t out(60, 0);
    const bytes_t id = u32(s.machineId);
    const bytes_t flags = u32(s.flags);
    const bytes_t at16 = u32(static_cast<uint32_t>(s.byte16));
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] = id[static_cast<std::size_t>(i)];
        out[static_cast<std::size_t>(12 + i)] = flags[static_cast<std::size_t>(i)];
        out[static_cast<std::size_t>(16 + i)] = at16[static_cast<std::size_t>(i)];
    }
    out[42] = static_cast<uint8_t>(static_cast<uint16_t>(s.layerCount) & 0xFF);
    out[43] = static_cast<uint8_t>(static_cast<uint16_t>(s.layerCount) >> 8);
    out[50] = s.state;
    return out;
}

// "RESP" and a reply packet.
inline bytes_t resp(const bytes_t& packet)
{
    return wide("RESP") + packet;
}

inline bytes_t statusResp(const statusFields_t& s, uint8_t type = 1)
{
    return resp(bytes_t{type} + statusRecord(s));
}

// A layer record whose height (bytes 4 to 7) is the given value.
inline bytes_t layerRecord(int32_t height)
{
    bytes_t out(44, 0);
    const bytes_t h = u32(static_cast<uint32_t>(height));
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(4 + i)] = h[static_cast<std::size_t>(i)];
    return out;
}

// The bytes of a "CMND" message: the word, then the queued packet.
inline bytes_t cmnd(const bytes_t& queued)
{
    return wide("CMND") + queued;
}

inline bool startsWith(const bytes_t& message, const bytes_t& prefix)
{
    return message.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), message.begin());
}

// The command code of a "CMND" message (-1 for any other message).
inline int commandCode(const bytes_t& message)
{
    const bytes_t word = wide("CMND");
    if (!startsWith(message, word) || message.size() < word.size() + 2)
        return -1;
    return message[word.size() + 1];
}

// The notification codes posted to the window so far (device notifications only).
inline std::vector<WPARAM> codes(const queueWindow_t& window)
{
    std::vector<WPARAM> out;
    for (const postedMessage_t& m : window.messages())
        if (m.message == 1246)
            out.push_back(m.wParam);
    return out;
}

inline int countCode(const queueWindow_t& window, WPARAM code)
{
    int n = 0;
    for (WPARAM c : codes(window))
        if (c == code)
            ++n;
    return n;
}

inline bool waitCode(const queueWindow_t& window, WPARAM code, int times = 1,
                     std::chrono::milliseconds timeout = std::chrono::seconds(15))
{
    return window.waitFor(
        [&](const std::vector<postedMessage_t>& messages) {
            int n = 0;
            for (const postedMessage_t& m : messages)
                if (m.message == 1246 && m.wParam == code)
                    ++n;
            return n >= times;
        },
        timeout);
}

// Answers every client message on one connection with what the responder
// gives (nothing when it gives an empty message), until the client closes
// the connection or stop() is called. Records every message it read. The
// loop's state is shared with the step, so the loop may outlive this object.
class fakeServer_t {
public:
    using responder_t = std::function<bytes_t(const bytes_t& message)>;

    explicit fakeServer_t(responder_t responder) : state_(std::make_shared<state_t>())
    {
        state_->responder = std::move(responder);
    }
    ~fakeServer_t() { stop(); }
    fakeServer_t(const fakeServer_t&) = delete;
    fakeServer_t& operator=(const fakeServer_t&) = delete;

    void stop() { state_->stop.store(true); }
    void setResponder(responder_t responder)
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        state_->responder = std::move(responder);
    }

    // The step that runs the loop on the peer's connection.
    scriptedPeer_t::step_t step()
    {
        std::shared_ptr<state_t> state = state_;
        return scriptedPeer_t::run([state](int fd) { serve(*state, fd); });
    }

    std::vector<bytes_t> messages() const
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        return state_->messages;
    }

private:
    struct state_t {
        std::mutex mutex;
        responder_t responder;
        std::vector<bytes_t> messages;
        std::atomic<bool> stop{false};
    };

    static void serve(state_t& state, int fd)
    {
        std::vector<uint8_t> buffer(65536);
        while (!state.stop.load()) {
            pollfd ready{fd, POLLIN, 0};
            const int r = ::poll(&ready, 1, 20);
            if (r <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            const bytes_t message(buffer.begin(), buffer.begin() + n);
            responder_t responder;
            {
                std::lock_guard<std::mutex> guard(state.mutex);
                state.messages.push_back(message);
                responder = state.responder;
            }
            const bytes_t reply = responder ? responder(message) : bytes_t();
            std::size_t done = 0;
            while (done < reply.size()) {
                const ssize_t sent = ::send(fd, reply.data() + done, reply.size() - done, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                done += static_cast<std::size_t>(sent);
            }
        }
    }

    std::shared_ptr<state_t> state_;
};

// A fake machine behind the fake server: a status for commands 1 and 147,
// a layer record for command 10, packet type 2 for anything else; "ERROR"
// for requests that are not machine commands.
struct fakeMachine_t {
    std::mutex mutex;
    statusFields_t status;

    void set(const std::function<void(statusFields_t&)>& change)
    {
        std::lock_guard<std::mutex> guard(mutex);
        change(status);
    }

    bytes_t respond(const bytes_t& message)
    {
        const int code = commandCode(message);
        statusFields_t s;
        {
            std::lock_guard<std::mutex> guard(mutex);
            s = status;
        }
        if (code == 1 || code == 147)
            return statusResp(s);
        if (code == 10) {
            const std::size_t at = wide("CMND").size() + 2;
            const uint32_t index = message.size() >= at + 2 ? static_cast<uint32_t>(message[at] | (message[at + 1] << 8)) : 0;
            return resp(bytes_t{9} + layerRecord(static_cast<int32_t>(1000 * (index + 1))));
        }
        if (code >= 0)
            return resp(bytes_t{2});
        return wide("ERROR");
    }
};

}  // namespace clientTest
