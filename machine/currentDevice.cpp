#include "machine/currentDevice.h"
#include <atomic>

namespace {
// Set on the user-interface thread, read by worker threads.
std::atomic<qvrCommDev_t*> currentDevice{nullptr};
}  // namespace

qvrCommDev_t* getCurrentDevice() { return currentDevice.load(); }

void setCurrentDevice(qvrCommDev_t* device) { currentDevice.store(device); }
