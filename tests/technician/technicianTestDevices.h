// Devices for the technician program's tests. A recorder keeps every packet
// that the test's own thread (the user-interface thread) hands to the device
// (tests/support/packetRecorder.h); its setters write the machine's records
// as a received packet would.
#pragma once
#include "link/qvrClientDev.h"
#include "machine/littleEndian.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"
#include "tests/support/packetRecorder.h"

#include <cstdint>

template <class base_t>
class commandRecorder_t : public packetRecorder_t<base_t> {
public:
    using packetRecorder_t<base_t>::packetRecorder_t;

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
