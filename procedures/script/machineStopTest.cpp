#include "procedures/script/machineStopTest.h"

#include "machine/qvrCommDev.h"
#include "machine/runLink.h"

#include <memory>

namespace {

constexpr std::uint8_t technicianState = 5;

}  // namespace

bool machineFitToGoOn(qvrCommDev_t* device)
{
    if (device == nullptr)
        return true;
    const machineStatus_t status = device->getStatus();
    return status.errorNumber() == 0 && status.machineState() == technicianState;
}

batchStopTest_t machineStopTest(qvrCommDev_t* device)
{
    // The run's link: once it is lost, the stored status is its last one
    // (state 5, no error) whatever the printer does, also after a new link.
    auto link = std::make_shared<runLink_t>();
    link->take(device);
    return [device, link](int, const char*) {
        const bool sameLink = device == nullptr || link->holds();
        if (sameLink && machineFitToGoOn(device))
            return true;
        batchRunState_t::requestStop();
        return false;
    };
}
