#include "procedures/script/machineStopTest.h"

#include "machine/qvrCommDev.h"

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
    return [device](int, const char*) {
        if (machineFitToGoOn(device))
            return true;
        batchRunState_t::requestStop();
        return false;
    };
}
