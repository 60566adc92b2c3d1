#include "procedures/batches/calibrateToolsBatch.h"

#include "link/qvrClientDev.h"
#include "platform/winConstants.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t xAxis = 0;
constexpr std::int32_t yAxis = 1;
constexpr std::int32_t powerOn = 2;
constexpr std::int32_t powerOff = 0;
constexpr std::int32_t middleTool = 5;
constexpr double toolOffsetXnm = 20000000.0;  // the middle tool lies 20 mm right of the first
constexpr double toolOffsetYmm = 0.2;

// Truncates toward zero; a value out of range (absurd step sizes) is held
// at the range's end instead of being undefined.
std::int32_t truncatedNm(double nm)
{
    const double low = std::numeric_limits<std::int32_t>::min();
    const double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(nm, low, high));
}

}  // namespace

calibrateToolsBatch_t::calibrateToolsBatch_t()
{
    addStage(L"Find XY Home");
    addStage(L"Turn Off XY Motors");
    addStage(L"Manual XY Positioning");
    addStage(L"Search XY Home Sensors");
    addStage(L"Update Parameters");
    addStage(L"Take Tool Test");
}

void calibrateToolsBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;

    // Find XY Home
    sendAndCheck(131, byteArg, xAxis, byteArg, powerOn);
    sendAndCheck(131, byteArg, yAxis, byteArg, powerOn);
    sendAndCheck(130, byteArg, 0);
    finishStage();

    // Turn Off XY Motors
    sendAndCheck(131, byteArg, xAxis, byteArg, powerOff);
    sendAndCheck(131, byteArg, yAxis, byteArg, powerOff);
    finishStage();

    // Manual XY Positioning
    ask(positionQuestion, MB_OKCANCEL | MB_ICONINFORMATION);
    sendAndCheck(140, byteArg, middleTool, byteArg, 1);
    finishStage();

    // Search XY Home Sensors
    sendAndCheck(159);
    if (abortEvent().isSet())
        throw aborted_e;
    // The search's result comes in the machine information, which the
    // device's own polls fetch (12 with every third status poll); one queued
    // while the search ran goes out ahead of this status request.
    sendAndCheck(147);
    const machineInfo_t info = dev->getMachineInfo();
    const double xMm = dev->stepsToMm(xAxis, info.xHeadSteps());
    const double yMm = dev->stepsToMm(yAxis, info.yHeadSteps());
    finishStage(L"Completed - X=" + fixedText(xMm, 2) + L"mm, Y=" + fixedText(yMm, 2) + L"mm");

    // Update Parameters
    const std::int32_t newX = truncatedNm(xMm * 1000000.0 - toolOffsetXnm);
    const std::int32_t newY = truncatedNm((yMm - toolOffsetYmm) * 1000000.0);
    const std::wstring values =
        L"X=" + fixedText(newX * 0.000001, 2) + L"mm, Y=" + fixedText(newY * 0.000001, 2) + L"mm";
    if (ask(L"New values for the first tool XY paramter will be: " + values + L". Save those values in the machine?",
            MB_YESNO | MB_ICONQUESTION) != IDYES)
        throw aborted_e;
    setParam(L"First Tool X", newX);
    setParam(L"First Tool Y", newY);
    finishStage(L"Completed. First tool " + values);

    // Take Tool Test
    sendAndCheck(141, byteArg, 0);
    sendAndCheck(140, byteArg, 4, byteArg, 0);
    sendAndCheck(140, byteArg, 5, byteArg, 0);
    sendAndCheck(140, byteArg, 6, byteArg, 0);
    sendAndCheck(141, byteArg, 0);
    finishStage();
}

void calibrateToolsBatch_t::onStopped(stageStatus_t)
{
    if (qvrClientDev_t* dev = device()) {
        dev->sendCommandArgs(131, byteArg, xAxis, byteArg, powerOn);
        dev->sendCommandArgs(131, byteArg, yAxis, byteArg, powerOn);
    }
}
