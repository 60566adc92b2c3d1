// qvrSocket_t: the socket of every machines-server conversation: a probe
// every 5000 ms while the loop waits for this side, messages of at most
// 32768 bytes, and the state the protocol keeps per connection (control
// access, the Windows user name, the record being uploaded).
#pragma once
#include "link/basicSocket.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class qvrSocket_t : public basicSocket_t {
public:
    // What a conversation keeps beside the socket (the client keeps the model
    // file it uploads); the socket owns it and deletes it with itself.
    class attachment_t {
    public:
        virtual ~attachment_t() = default;
    };

    static constexpr std::uint32_t defaultProbeInterval = 5000;
    static constexpr int defaultBufferSize = 0x8000;

    explicit qvrSocket_t(const sharedLock_t& lock);
    qvrSocket_t(int acceptedSocket, basicSocket_t* listener);
    // Stops the socket thread before this part of the object goes.
    ~qvrSocket_t() override;

    std::uint32_t probeInterval() const override;
    int bufferSize() const override;
    // Tests shorten the probe interval; set it before connecting.
    void setProbeInterval(std::uint32_t ms) { probeInterval_.store(ms); }

    // Under the shared lock.
    std::wstring getHost() const;
    int getPort() const;
    bool isConnected() const;
    bool hasControlAccess() const;
    void setControlAccess(bool on);
    std::wstring userName() const;
    void setUserName(const std::wstring& name);
    bool isClosed() const { return closed_.isSet(); }

    // The attached record: owned by the socket; set and read on the owner's
    // thread.
    attachment_t* attached() const { return attached_.get(); }
    void setAttached(std::unique_ptr<attachment_t> object) { attached_ = std::move(object); }

protected:
    bool controlAccess_ = false;
    bool secondFlag_ = false;  // kept clear
    std::wstring userName_;
    std::unique_ptr<attachment_t> attached_;
    std::wstring secondText_;

private:
    std::atomic<std::uint32_t> probeInterval_{defaultProbeInterval};
};
