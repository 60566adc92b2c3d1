#include "procedures/batches/fillEmptyGlueSystemBatch.h"

#include "link/qvrClientDev.h"
#include "machine/packetBuffer.h"
#include "machine/wstr.h"
#include "platform/winConstants.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::uint8_t xyAxis = 0;
constexpr std::uint8_t yAxis = 1;
constexpr std::uint8_t zAxis = 2;
constexpr std::uint8_t pumpAxis = 3;
constexpr std::int32_t containerY = 140000000;  // nm
constexpr std::int32_t endClearanceY = 30000000;  // nm before the first tool

}  // namespace

fillEmptyGlueSystemBatch_t::fillEmptyGlueSystemBatch_t(bool longForm) : longForm_(longForm ? 1 : 0)
{
    addStage(L"Preparations");
    addStage(L"Moving Iron Bridge");
    addStage(L"Purge System");
}

void fillEmptyGlueSystemBatch_t::queueFastPumpReturn()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        return;
    packetBuffer_t payload;
    payload.pushByte(0x80u | pumpAxis);
    payload.appendInt(0);
    payload.appendShort(static_cast<std::uint32_t>(paramValue(L"Pump Forward Speed")));
    dev->sendCommand(129, &payload);
}

void fillEmptyGlueSystemBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;

    // Preparations
    sendAndCheck(129, byteArg, zAxis, intArg, 0);
    if (!dev->isAxisFlagSet(xyAxis))
        sendAndCheck(130, byteArg, xyAxis);
    sendAndCheck(151, byteArg, 1);
    finishStage();

    // Moving Iron Bridge
    ask(containerQuestion, MB_OKCANCEL | MB_ICONINFORMATION);
    sendAndCheck(129, byteArg, yAxis, intArg, containerY);
    finishStage();

    // Purge System
    ask(purgeQuestion, MB_OKCANCEL);
    for (int n = 1; n <= strokeCount; ++n) {
        sendAndCheck(129, byteArg, pumpAxis, intArg, paramValue(L"Max pump position"));
        if (longForm_ != 0)
            sendAndCheck(129, byteArg, pumpAxis, intArg, 0);
        else
            queueFastPumpReturn();
        setStageStatus(inProgress_e, toStr(n) + L" Full-Strokes Done");
    }
    onStopped(aborted_e);
    finishStage();
}

void fillEmptyGlueSystemBatch_t::onStopped(stageStatus_t)
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr || currentStage() != purgeStage)
        return;
    if (longForm_ == 0)
        queueFastPumpReturn();
    dev->sendCommandArgs(130, byteArg, pumpAxis);
    dev->sendCommandArgs(151, byteArg, 0);
    // A First Tool Y near the bottom of the range must not wrap to the far end.
    const std::int64_t y = std::max<std::int64_t>(
        static_cast<std::int64_t>(paramValue(L"First Tool Y")) - endClearanceY,
        std::numeric_limits<std::int32_t>::min());
    dev->sendCommandArgs(135, intArg, paramValue(L"End Model Pos X"), intArg, static_cast<std::int32_t>(y));
    dev->moveZtoSafePos();
}
