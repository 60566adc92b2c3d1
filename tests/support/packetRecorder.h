// A machine device for tests that keeps a copy of every command packet
// handed to it ([code][payload]), before the queue's duplicate rule applies,
// so a test sees exactly what the program sent.
//
// By default it keeps the packets of the thread that built it (the test's
// own thread, which is also the user-interface thread). After
// recordEveryCaller it keeps those of every thread but the device's own, so
// that a procedure's worker counts too while the device's polls and status
// requests (1 and 12) stay out.
#pragma once
#include "machine/packetBuffer.h"

#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

template <class base_t>
class packetRecorder_t : public base_t {
public:
    template <class... args_t>
    explicit packetRecorder_t(args_t&&... args)
        : base_t(std::forward<args_t>(args)...), owner_(std::this_thread::get_id())
    {
    }

    // The device thread calls sendPacket and run through this class: it
    // ends before this part of the object goes.
    ~packetRecorder_t() override { this->stop(); }

    void recordEveryCaller()
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        everyCaller_ = true;
    }

    void sendPacket(const packetBuffer_t& packet) override
    {
        {
            std::lock_guard<std::mutex> guard(recordLock_);
            if (everyCaller_ ? !onDeviceThread_ : std::this_thread::get_id() == owner_)
                sent_.push_back(packet);
        }
        base_t::sendPacket(packet);
    }

    // The command code of every packet sent.
    std::vector<int> codes() const
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        std::vector<int> result;
        for (const packetBuffer_t& packet : sent_)
            result.push_back(packet.u8(0));
        return result;
    }
    std::vector<packetBuffer_t> packets() const
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        return sent_;
    }
    // Each packet sent from the index on, as its bytes.
    std::vector<std::vector<std::uint8_t>> bytesSince(std::size_t from) const
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        std::vector<std::vector<std::uint8_t>> result;
        for (std::size_t i = from; i < sent_.size(); ++i)
            result.emplace_back(sent_[i].data(), sent_[i].data() + sent_[i].length());
        return result;
    }
    std::size_t sentCount() const
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        return sent_.size();
    }
    void clearSent()
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        sent_.clear();
    }

    // The device thread's body: marks the thread as the device's own.
    void run() override
    {
        onDeviceThread_ = true;
        base_t::run();
    }

private:
    static inline thread_local bool onDeviceThread_ = false;
    std::thread::id owner_;
    mutable std::mutex recordLock_;
    bool everyCaller_ = false;
    std::vector<packetBuffer_t> sent_;
};
