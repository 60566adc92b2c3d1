// A machine device over an in-process scripted packet source: what it sends
// is recorded and handed to a responder, whose reply (if any) is delivered
// as the queue's current packet at once. Tests drive it either on its own
// thread (open/stop) or without one, by calling step and onTick.
#pragma once
#include "machine/littleEndian.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"
#include "platform/ticks.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

inline packetBuffer_t packetFrom(const std::vector<std::uint8_t>& bytes, std::int32_t capacity = 64)
{
    packetBuffer_t packet(capacity);
    packet.append(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return packet;
}

inline std::vector<std::uint8_t> bytesOf(const packetBuffer_t& packet)
{
    return std::vector<std::uint8_t>(packet.data(), packet.data() + packet.length());
}

// The device copies the lock it is given; the holder only has to exist
// while the device is being constructed.
struct scriptedLockHolder_t {
    sharedLock_t deviceLock;
};

class scriptedDevice_t : private scriptedLockHolder_t, public qvrCommDev_t {
public:
    using responder_t = std::function<std::optional<packetBuffer_t>(const packetBuffer_t& sent)>;

    explicit scriptedDevice_t(HWND owner = 0, std::uint32_t tickPeriod = 100)
        : qvrCommDev_t(owner, tickPeriod, deviceLock)
    {
    }
    ~scriptedDevice_t() override { stop(); }

    void setResponder(responder_t responder)
    {
        std::lock_guard<std::mutex> guard(scriptLock_);
        responder_ = std::move(responder);
    }

    // The transport: the front goes out when no reply is awaited.
    void sendPending() override
    {
        packetBuffer_t out(64);
        {
            lockGuard_t guard(getLock());
            if (!queue.popFront(out))
                return;
            queue.setAwaitingReply();
            lastSendTick = tickCount();
        }
        responder_t responder;
        {
            std::lock_guard<std::mutex> guard(scriptLock_);
            sent_.push_back(out);
            responder = responder_;
        }
        if (responder) {
            if (std::optional<packetBuffer_t> reply = responder(out))
                deliver(*reply);
        }
    }

    // A received packet: it waits as the current packet for the device thread.
    void deliver(const packetBuffer_t& reply)
    {
        queue.setCurrent(reply);
        inputArrived.set();
    }

    // Runs the loop's passes on the calling thread until nothing is left to
    // send or handle (bounded).
    void pumpUntilIdle(int maxPasses = 100000)
    {
        for (int i = 0; i < maxPasses; ++i) {
            step();
            if (!inputArrived.isSet() && !queue.hasSendable())
                return;
        }
    }

    std::vector<packetBuffer_t> sentPackets() const
    {
        std::lock_guard<std::mutex> guard(scriptLock_);
        return sent_;
    }
    // The command code of every packet sent ([length][code]...).
    std::vector<int> sentCodes() const
    {
        std::vector<int> codes;
        for (const packetBuffer_t& packet : sentPackets())
            codes.push_back(packet.u8(1));
        return codes;
    }
    void clearSent()
    {
        std::lock_guard<std::mutex> guard(scriptLock_);
        sent_.clear();
    }
    std::vector<packetBuffer_t> queuedPackets()
    {
        lockGuard_t guard(getLock());
        return std::vector<packetBuffer_t>(queue.packets().begin(), queue.packets().end());
    }

    void onLinkTimeout() override { ++linkTimeouts; }
    void onReplyMismatch() override { ++mismatches; }
    bool acceptNewMachine() override { return acceptMachines.load(); }
    void setMachineName(const std::wstring& name) override
    {
        lockGuard_t guard(getLock());
        machineName = name;
    }
    void setEmbeddedVersionText(const std::wstring& text) override
    {
        lockGuard_t guard(getLock());
        embeddedVersionText = text;
    }
    std::wstring accessModeText() override { return L"Control Access"; }
    void stopSlicing() override {}
    void sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag, const std::wstring& name,
                       std::int32_t copies, std::int32_t lastLayer, std::int32_t a, std::int32_t b,
                       const std::wstring& displayName) override
    {
        std::lock_guard<std::mutex> guard(scriptLock_);
        modelFiles.push_back({path, kind, flag, name, copies, lastLayer, a, b, displayName});
    }
    bool isSameMachine(const machineHostIDname_t& machine) override
    {
        return static_cast<std::uint32_t>(machine.machineID) == getMachineID();
    }

    struct modelFile_t {
        std::wstring path;
        std::int32_t kind, flag;
        std::wstring name;
        std::int32_t copies, lastLayer, a, b;
        std::wstring displayName;
    };
    std::vector<modelFile_t> modelFileCalls() const
    {
        std::lock_guard<std::mutex> guard(scriptLock_);
        return modelFiles;
    }

    std::int32_t requestedOffsetNow()
    {
        lockGuard_t guard(getLock());
        return requestedOffset;
    }
    std::int32_t linkStateNow()
    {
        lockGuard_t guard(getLock());
        return linkState;
    }

    // What the client device fills from the machines server.
    void setFileInfoForTest(const fileInfo_t& file)
    {
        lockGuard_t guard(getLock());
        fileInfo = file;
    }
    void setTimeEstimateForTest(std::int32_t estimate, std::int32_t threshold)
    {
        lockGuard_t guard(getLock());
        timeEstimate[0] = estimate;
        timeEstimate[1] = threshold;
    }

    std::atomic<int> linkTimeouts{0};
    std::atomic<int> mismatches{0};
    std::atomic<bool> acceptMachines{true};

private:
    mutable std::mutex scriptLock_;
    responder_t responder_;
    std::vector<packetBuffer_t> sent_;
    std::vector<modelFile_t> modelFiles;
};

// A printer for the scripted source: answers every command the way the
// machine does, from its own records and parameter store.
class fakeMachine_t {
public:
    std::vector<std::uint8_t> status = std::vector<std::uint8_t>(60, 0);
    std::vector<std::uint8_t> info = std::vector<std::uint8_t>(52, 0);
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(4096, 0);
    std::atomic<int> chunkRequests{0};

    void setMachineId(std::uint32_t id) { le::putU32(&status[0], id); }
    void setState(std::uint8_t state) { status[50] = state; }

    std::optional<packetBuffer_t> respond(const packetBuffer_t& sent)
    {
        const int code = sent.u8(1);
        std::vector<std::uint8_t> reply;
        switch (code) {
        case 1:
        case 147:
            reply.push_back(1);
            reply.insert(reply.end(), status.begin(), status.end());
            break;
        case 19:
            reply.push_back(13);
            reply.insert(reply.end(), status.begin(), status.end());
            break;
        case 12:
            reply.push_back(11);
            reply.insert(reply.end(), info.begin(), info.end());
            break;
        case 5: {
            ++chunkRequests;
            const int start = sent.u16(2);
            const int end = sent.u16(4);
            reply = {7, static_cast<std::uint8_t>(end - start), static_cast<std::uint8_t>(start),
                     static_cast<std::uint8_t>(start >> 8)};
            reply.insert(reply.end(), memory.begin() + start, memory.begin() + end);
            break;
        }
        default:
            reply.push_back(2);
            break;
        }
        return packetFrom(reply);
    }
};
