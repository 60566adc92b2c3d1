#include "scriptedPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using clock_t_ = std::chrono::steady_clock;

int msLeft(clock_t_::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_t_::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

scriptedPeer_t::step_t scriptedPeer_t::send(bytes_t message)
{
    step_t step;
    step.kind = step_t::send_e;
    step.pieces.push_back(std::move(message));
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::send(const std::string& message)
{
    return send(bytes_t(message.begin(), message.end()));
}

scriptedPeer_t::step_t scriptedPeer_t::sendPieces(std::vector<bytes_t> pieces, std::uint32_t pauseMs)
{
    step_t step;
    step.kind = step_t::send_e;
    step.pieces = std::move(pieces);
    step.pauseMs = pauseMs;
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::receive(completeness_t complete)
{
    step_t step;
    step.kind = step_t::receive_e;
    step.complete = std::move(complete);
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::waitFor(std::function<bool()> condition)
{
    step_t step;
    step.kind = step_t::waitFor_e;
    step.condition = std::move(condition);
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::run(std::function<void(int fd)> action)
{
    step_t step;
    step.kind = step_t::run_e;
    step.action = std::move(action);
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::close()
{
    step_t step;
    step.kind = step_t::close_e;
    return step;
}

scriptedPeer_t::step_t scriptedPeer_t::reset()
{
    step_t step;
    step.kind = step_t::reset_e;
    return step;
}

scriptedPeer_t::scriptedPeer_t(std::uint32_t stepTimeoutMs, std::uint32_t gapMs)
    : stepTimeoutMs_(stepTimeoutMs), gapMs_(gapMs)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail("cannot listen: errno " + std::to_string(errno));
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

scriptedPeer_t::~scriptedPeer_t()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (wakePipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], &byte, 1);
    }
    if (thread_.joinable())
        thread_.join();
    for (int fd : heldFds_)
        ::close(fd);
    for (int fd : {listenFd_, wakePipe_[0], wakePipe_[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void scriptedPeer_t::addScript(script_t script)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scripts_.push_back(std::move(script));
    }
    changed_.notify_all();
}

int scriptedPeer_t::acceptedCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

bool scriptedPeer_t::waitAccepted(int count, std::uint32_t ms) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return accepted_ >= count; });
}

bool scriptedPeer_t::waitScriptsDone(std::uint32_t ms) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return scripts_.empty() && scriptsRunning_ == 0; });
}

bool scriptedPeer_t::waitReceived(std::size_t count, std::uint32_t ms) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return received_.size() >= count; });
}

std::vector<scriptedPeer_t::bytes_t> scriptedPeer_t::received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<std::string> scriptedPeer_t::failures() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failures_;
}

bool scriptedPeer_t::stopping() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_;
}

void scriptedPeer_t::fail(const std::string& what)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failures_.push_back(what);
    }
    changed_.notify_all();
}

bool scriptedPeer_t::waitReadable(int fd, int ms)
{
    pollfd set[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    for (;;) {
        const int r = ::poll(set, 2, ms);
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0 && set[1].revents == 0 && set[0].revents != 0;
    }
}

void scriptedPeer_t::serve()
{
    while (!stopping()) {
        if (!waitReadable(listenFd_, 1000))
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Each message goes out at once, as the machines server sends it.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        script_t script;
        bool haveScript = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++accepted_;
            if (!scripts_.empty()) {
                script = std::move(scripts_.front());
                scripts_.pop_front();
                haveScript = true;
                ++scriptsRunning_;
            }
        }
        changed_.notify_all();
        if (haveScript) {
            runScript(fd, script);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                --scriptsRunning_;
            }
            changed_.notify_all();
        } else {
            heldFds_.push_back(fd);
        }
    }
}

void scriptedPeer_t::runScript(int fd, const script_t& script)
{
    int open = fd;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const step_t& step = script[i];
        if (step.kind == step_t::close_e || step.kind == step_t::reset_e) {
            if (step.kind == step_t::reset_e) {
                const linger abort{1, 0};
                ::setsockopt(open, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            }
            ::close(open);
            open = -1;
            break;
        }
        if (!runStep(open, step)) {
            fail("step " + std::to_string(i) + " failed");
            break;
        }
    }
    if (open >= 0)
        heldFds_.push_back(open);
}

bool scriptedPeer_t::runStep(int fd, const step_t& step)
{
    switch (step.kind) {
    case step_t::send_e:
        for (std::size_t i = 0; i < step.pieces.size(); ++i) {
            if (i > 0 && step.pauseMs > 0) {
                // The pause is a quiet line, not a condition: it is what splits the message.
                waitReadable(-1, static_cast<int>(step.pauseMs));
            }
            const bytes_t& piece = step.pieces[i];
            std::size_t done = 0;
            while (done < piece.size()) {
                const ssize_t n = ::send(fd, piece.data() + done, piece.size() - done, MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    return false;
                }
                done += static_cast<std::size_t>(n);
            }
        }
        return true;
    case step_t::receive_e: {
        bytes_t message;
        if (!receiveMessage(fd, step.complete, message))
            return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(std::move(message));
        }
        changed_.notify_all();
        return true;
    }
    case step_t::waitFor_e: {
        const auto deadline = clock_t_::now() + std::chrono::milliseconds(stepTimeoutMs_);
        while (!step.condition()) {
            if (stopping() || msLeft(deadline) == 0)
                return false;
            waitReadable(-1, 2);
        }
        return true;
    }
    case step_t::run_e:
        step.action(fd);
        return true;
    case step_t::close_e:
    case step_t::reset_e:
        return true;
    }
    return false;
}

bool scriptedPeer_t::receiveMessage(int fd, const completeness_t& complete, bytes_t& message)
{
    const auto deadline = clock_t_::now() + std::chrono::milliseconds(stepTimeoutMs_);
    std::uint8_t chunk[65536];
    for (;;) {
        // Before the first byte: up to the step's time-out; after it, either
        // until the message is complete or until the line is quiet for the gap.
        const int wait = message.empty() || complete ? msLeft(deadline) : static_cast<int>(gapMs_);
        if (!waitReadable(fd, wait))
            return !message.empty() && !complete;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !message.empty() && !complete;
        message.insert(message.end(), chunk, chunk + n);
        if (complete && complete(message))
            return true;
    }
}
