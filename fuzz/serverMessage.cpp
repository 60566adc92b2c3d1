// deps: link
// Arbitrary bytes as a message from the machines server: the completeness
// test that reassembles split messages, then the parser acting on a client
// device that is never started (no thread, no window, a temporary prefix,
// no parameters files).
// Every result must be one of the three the parser gives, a reply packet at
// most 64 bytes, and the device's queue bounded by its duplicate rule.
#include "link/qvrClientDev.h"
#include "link/qvrClientSocket.h"
#include "machine/machineParam.h"
#include "machine/parametersFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace {

struct lockHolder_t {
    sharedLock_t deviceLock;
};

class fuzzDevice_t : private lockHolder_t, public qvrClientDev_t {
public:
    fuzzDevice_t() : qvrClientDev_t(0, deviceLock) {}

    // Arbitrary machine numbers would fill the prefix with folders, and the
    // machine's files would be written and read for each input.
    void createFoldersIfIdKnown() override {}
    void loadMachineParameters() override {}
    void rememberEmbeddedVersion(std::uint16_t) override {}

    // A parameter block from the server is stored through the parameters
    // file's text, here in memory rather than in the machine's files: the
    // writer and the reader see the block's words, no file is written.
    // Writing and reading back a whole block costs more than the rest of an
    // execution, and the parametersFile target covers both for any text, so
    // the check runs for one block in four, chosen by the block's words so
    // that a failing input fails again alone.
    void storeMachineParameters(const std::int32_t* memory) override
    {
        if (memory == nullptr)
            return;
        std::uint32_t fold = 0;
        for (int i = 0; i < paramLayout::words; ++i)
            fold = (fold * 31u) ^ static_cast<std::uint32_t>(memory[i]);
        if ((fold & 3u) != 0)
            return;
        const bool compact = isEmbeddedVersionAtLeast1120();
        const std::string text =
            parametersFileText(std::span<const std::int32_t>(memory, paramLayout::words), 0, compact, L"");
        static parameterMemory_t scratch;
        scratch = ::getDefaultParameterTable();
        bool applied = false;
        const std::wstring error = readParametersText(text, scratch, compact, nullptr, nullptr, &applied);
        // What the writer writes, the reader takes whole.
        if (!applied || error.find(L"Too many") != std::wstring::npos)
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzDevice_t* device = new fuzzDevice_t();
    const socketBytes_t message(data, size);
    (void)qvrClientSocket_t::isCompleteMessage(message);

    qvrClientSocket_t socket(true, device->getLock());
    const int result = socket.parseBytes(message, *device);
    if (result < 0 || result > 2)
        std::abort();
    if (socket.reply().length() > qvrClientSocket_t::maxReplyBytes)
        std::abort();
    // Requests that server words queue ("QUEUEINFO", "FILESENDERINFO") wait
    // at most twice each.
    if (device->getQueue().count() > 8)
        std::abort();
    // The device lives on between inputs (it is large to build); its queue
    // is the state that would make one input's outcome depend on another's.
    device->getQueue().clear();
    return 0;
}
