#include "procedures/batches/cleanBubblesBatch.h"

#include "link/qvrClientDev.h"
#include "platform/winConstants.h"

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::uint8_t xyAxis = 0;
constexpr std::uint8_t yAxis = 1;
constexpr std::uint8_t pumpAxis = 3;

}  // namespace

cleanBubblesBatch_t::cleanBubblesBatch_t()
{
    addStage(L"Preparations");
    addStage(L"Purge System");
    addStage(L"Moving Iron Bridge");
    addStage(L"Clean & Replace Glue Trap");
    addStage(L"Re-position Iron Bridge");
}

void cleanBubblesBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;

    // Preparations
    if (!dev->isAxisFlagSet(xyAxis))
        sendAndCheck(130, byteArg, xyAxis);
    if (dev->getStatus().hasFlag(machineStatus_t::flagIronHooked))
        sendAndCheck(151, byteArg, 0);
    finishStage();

    // Purge System
    for (int i = 0; i < 3; ++i) {
        sendAndCheck(129, byteArg, pumpAxis, intArg, paramValue(L"Max pump position"));
        sendAndCheck(130, byteArg, pumpAxis);
    }
    finishStage();

    // Moving Iron Bridge
    sendAndCheck(151, byteArg, 1);
    sendAndCheck(129, byteArg, yAxis, intArg, paramValue(L"Max Y position") / 2);
    finishStage();

    // Clean & Replace Glue Trap
    ask(trapQuestion, MB_OKCANCEL | MB_ICONINFORMATION);
    if ((paramValue(L"Machine Flags") & 1) == 0 && dev->isDOORopen()) {
        sendAndCheck(147);
        while (dev->isDOORopen()) {
            ask(doorQuestion, MB_OKCANCEL | MB_ICONWARNING);
            sendAndCheck(147);
        }
    }
    finishStage();

    // Re-position Iron Bridge
    sendAndCheck(151, byteArg, 0);
    finishStage();
}

void cleanBubblesBatch_t::onStopped(stageStatus_t)
{
    if (qvrClientDev_t* dev = device())
        dev->sendCommandArgs(130, byteArg, pumpAxis);
}
