#include "procedures/batches/calibrateZabsZero.h"

#include "link/qvrClientDev.h"
#include "machine/wstr.h"
#include "platform/winConstants.h"

calibrateZabsZero_t::calibrateZabsZero_t()
{
    addStage(L"Find Absolute Zero");
}

std::wstring calibrateZabsZero_t::millimetres(std::int32_t nm)
{
    return toStr(static_cast<float>(nm) * 0.000001f);
}

void calibrateZabsZero_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;
    sendAndCheck(139, 1, 1);
    // The height comes in the machine information, which the device's own
    // polls fetch (12 with every third status poll); one queued while the
    // measurement ran goes out ahead of this status request.
    sendAndCheck(147);
    const std::int32_t z = dev->getMachineInfo().zHeight();
    if (z < lowestZ || z > highestZ) {
        ask(L"Detected Z Abs Zero is out of the allowed values (" + millimetres(z) + L"mm.)", MB_OK | MB_ICONERROR);
        throw failed_e;
    }
    if (ask(L"Z Abs Zero will be set to " + millimetres(z) + L"mm.", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        throw aborted_e;
    setParam(L"Z Abs Zero", z);
    finishStage(L"Completed.");
}
