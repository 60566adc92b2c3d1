// deps: link
// Arbitrary bytes as a message from the machines server: the completeness
// test that reassembles split messages, then the parser acting on a client
// device that is never started (no thread, no window, a temporary prefix).
// Every result must be one of the three the parser gives, a reply packet at
// most 64 bytes, and the device's queue bounded by its duplicate rule.
#include "link/qvrClientDev.h"
#include "link/qvrClientSocket.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct lockHolder_t {
    sharedLock_t deviceLock;
};

class fuzzDevice_t : private lockHolder_t, public qvrClientDev_t {
public:
    fuzzDevice_t() : qvrClientDev_t(0, deviceLock) {}

    // Arbitrary machine numbers would fill the prefix with folders.
    void createFoldersIfIdKnown() override {}
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
    return 0;
}
