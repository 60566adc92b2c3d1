// Devices for the technician program's tests. A recorder keeps every packet
// that the test's own thread (the user-interface thread) hands to the device,
// before the queue's duplicate rule applies, so a test sees exactly what the
// program sent; packets of the device thread (its polls) are not kept. Its
// setters write the machine's records as a received packet would.
#pragma once
#include "link/qvrClientDev.h"
#include "machine/littleEndian.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"

#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

template <class base_t>
class commandRecorder_t : public base_t {
public:
    template <class... args_t>
    explicit commandRecorder_t(args_t&&... args)
        : base_t(std::forward<args_t>(args)...), owner_(std::this_thread::get_id())
    {
    }

    void sendPacket(const packetBuffer_t& packet) override
    {
        if (std::this_thread::get_id() == owner_) {
            std::lock_guard<std::mutex> guard(recordLock_);
            sent_.push_back(packet);
        }
        base_t::sendPacket(packet);
    }

    // The command code of every packet sent ([code][payload]).
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
    void clearSent()
    {
        std::lock_guard<std::mutex> guard(recordLock_);
        sent_.clear();
    }

    void setMachineState(int state)
    {
        lockGuard_t guard(this->getLock());
        this->status.setMachineState(static_cast<std::uint8_t>(state));
    }
    void setErrorNumber(int error)
    {
        lockGuard_t guard(this->getLock());
        this->status.bytes[48] = static_cast<std::uint8_t>(error);
    }
    void setSensorWord(std::uint32_t sensors)
    {
        lockGuard_t guard(this->getLock());
        le::putU32(&this->status.bytes[8], sensors);
    }
    void setHeadSteps(std::int16_t x, std::int16_t y)
    {
        lockGuard_t guard(this->getLock());
        le::putU16(&this->status.bytes[28], static_cast<std::uint16_t>(x));
        le::putU16(&this->status.bytes[30], static_cast<std::uint16_t>(y));
    }
    void setTemperature(int temperature)
    {
        lockGuard_t guard(this->getLock());
        this->info.bytes[32] = static_cast<std::uint8_t>(temperature);
    }
    void setHardwareRevision(std::uint16_t revision)
    {
        lockGuard_t guard(this->getLock());
        le::putU16(&this->info.bytes[4], revision);
    }
    void setEmbeddedVersion(std::uint16_t version)
    {
        lockGuard_t guard(this->getLock());
        this->info.setEmbeddedVersion(version);
    }
    void setLinkUp(bool up)
    {
        lockGuard_t guard(this->getLock());
        this->linkState = up ? 1 : 0;
    }

private:
    std::thread::id owner_;
    mutable std::mutex recordLock_;
    std::vector<packetBuffer_t> sent_;
};

// The device base's lock must exist while the base is built.
struct testLockHolder_t {
    sharedLock_t testLock;
};

// A machine device without any transport and without a thread: what it is
// sent only waits in its queue.
class plainCommDev_t : private testLockHolder_t, public qvrCommDev_t {
public:
    plainCommDev_t() : qvrCommDev_t(0, 100, testLock) {}
    void onLinkTimeout() override {}
    void setMachineName(const std::wstring&) override {}
    void setEmbeddedVersionText(const std::wstring&) override {}
    std::wstring accessModeText() override { return L"Control Access"; }
    void stopSlicing() override {}
    void sendModelFile(const std::wstring&, std::int32_t, std::int32_t, const std::wstring&, std::int32_t,
                       std::int32_t, std::int32_t, std::int32_t, const std::wstring&) override
    {
    }
    bool isSameMachine(const machineHostIDname_t&) override { return false; }
};

using testCommDev_t = commandRecorder_t<plainCommDev_t>;
using testClientDev_t = commandRecorder_t<qvrClientDev_t>;
