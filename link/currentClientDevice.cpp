#include "link/currentClientDevice.h"

#include "link/qvrClientDev.h"
#include "machine/currentDevice.h"

#include <atomic>

namespace {
// Set on the user-interface thread, read by worker threads.
std::atomic<qvrClientDev_t*> currentClient{nullptr};
}  // namespace

qvrClientDev_t* getCurrentClientDevice()
{
    qvrClientDev_t* client = currentClient.load();
    // Typed only while it is still the machine library's current device.
    if (client == nullptr || getCurrentDevice() != static_cast<qvrCommDev_t*>(client))
        return nullptr;
    return client;
}

void setCurrentClientDevice(qvrClientDev_t* device)
{
    currentClient.store(device);
    setCurrentDevice(device);
}
