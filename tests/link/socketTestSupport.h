// Helpers shared by the socket tests: condition waits with deadlines, byte
// texts, a client socket that records what its loop hands over, and a count
// of this process's threads.
#pragma once
#include "link/qvrSocket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace socketTest {

using bytes_t = std::vector<std::uint8_t>;

inline bytes_t bytesOf(const std::string& text)
{
    return bytes_t(text.begin(), text.end());
}

inline std::string textOf(socketBytes_t bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Polls the condition until it holds or the deadline passes.
inline bool waitUntil(const std::function<bool()>& condition, std::uint32_t ms = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The number of threads of this process. The first call starts and ends a
// thread, so that helper threads that a runtime starts with the first thread
// (ThreadSanitizer's) are already counted.
inline int threadCount()
{
    static const bool warmedUp = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmedUp;
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        ::closedir(dir);
    }
    return count;
}

// A socket that records its call-backs. neededBytes > 0 makes a message
// complete only once that many bytes are in; bufferBytes > 0 replaces the
// buffer size.
class recordingSocket_t : public qvrSocket_t {
public:
    explicit recordingSocket_t(const sharedLock_t& lock, std::size_t neededBytes = 0, int bufferBytes = 0)
        : qvrSocket_t(lock), neededBytes_(neededBytes), bufferBytes_(bufferBytes)
    {
    }
    recordingSocket_t(int acceptedSocket, basicSocket_t* listener) : qvrSocket_t(acceptedSocket, listener) {}
    ~recordingSocket_t() override { shutdown(); }

    int bufferSize() const override { return bufferBytes_ > 0 ? bufferBytes_ : qvrSocket_t::bufferSize(); }
    void onConnected() override { ++connectedCalls; }
    int onDisconnected() override
    {
        ++disconnectedCalls;
        return 0;
    }
    void onConnectFailed() override { ++connectFailedCalls; }
    void onMessage(socketBytes_t message) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.emplace_back(message.begin(), message.end());
    }
    messageCompleteness_e messageCompleteness(const socketBytes_t& received) override
    {
        ++completenessCalls;
        if (neededBytes_ == 0 || received.size() >= neededBytes_)
            return messageComplete_e;
        return messageIncomplete_e;
    }

    std::vector<bytes_t> messages() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::size_t messageCount() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_.size();
    }
    int descriptor() const { return mainSocket(); }

    std::atomic<int> connectedCalls{0};
    std::atomic<int> disconnectedCalls{0};
    std::atomic<int> connectFailedCalls{0};
    std::atomic<int> completenessCalls{0};

private:
    std::size_t neededBytes_ = 0;
    int bufferBytes_ = 0;
    mutable std::mutex mutex_;
    std::vector<bytes_t> messages_;
};

}  // namespace socketTest
