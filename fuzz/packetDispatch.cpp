// deps: machine
// Arbitrary bytes from the machine as reply packets, dispatched by a device
// that is never started (no thread, no window, a temporary prefix, none of
// the machine's files).
//
// Input: a sequence of records [head][bytes...]: the low 6 bits of head are
// the reply's length; bit 6 queues a command first (its code is the next
// byte), bit 7 asks for a parameter chunk first (the next byte, times 16, is
// the offset), so that replies meet a request in flight and a read in
// progress.
#include "machine/machineHostIDname.h"
#include "machine/qvrCommDev.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

struct lockHolder_t {
    sharedLock_t deviceLock;
};

class fuzzDevice_t : private lockHolder_t, public qvrCommDev_t {
public:
    fuzzDevice_t() : qvrCommDev_t(0, 100, deviceLock) {}
    ~fuzzDevice_t() override { stop(); }

    // Folder creation is not the parser's business, and arbitrary machine
    // numbers would fill the prefix with folders; no more are the machine's
    // files, which a fuzzing run would write and read for each input.
    void createFoldersIfIdKnown() override {}
    void loadMachineParameters() override {}
    void rememberEmbeddedVersion(std::uint16_t) override {}
    void onLinkTimeout() override {}
    void setMachineName(const std::wstring&) override {}
    void setEmbeddedVersionText(const std::wstring&) override {}
    std::wstring accessModeText() override { return L""; }
    void stopSlicing() override {}
    void sendModelFile(const std::wstring&, std::int32_t, std::int32_t, const std::wstring&, std::int32_t,
                       std::int32_t, std::int32_t, std::int32_t, const std::wstring&) override
    {
    }
    bool isSameMachine(const machineHostIDname_t&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzDevice_t device;
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t head = data[pos++];
        if ((head & 0x40) != 0 && pos < size)
            device.sendCommandArgs(data[pos++], 2, static_cast<std::int32_t>(size));
        if ((head & 0x80) != 0 && pos < size)
            device.requestParameterChunk(data[pos++] * 16);
        const std::size_t length = std::min<std::size_t>(head & 0x3F, size - pos);
        packetBuffer_t reply(64);
        reply.append(data + pos, static_cast<std::int32_t>(length));
        pos += length;
        device.getQueue().setCurrent(reply);
        device.handleReply();
    }
    (void)device.getStatusText();
    (void)device.getActivityText();
    (void)device.getBuildTimeEstimate(nullptr, nullptr);
    return 0;
}
