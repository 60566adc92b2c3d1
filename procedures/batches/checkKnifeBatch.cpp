#include "procedures/batches/checkKnifeBatch.h"

#include "link/qvrClientDev.h"
#include "machine/packetBuffer.h"
#include "machine/wstr.h"
#include "procedures/batches/batchDialogs.h"

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::int32_t technicianState = 5;
constexpr std::int32_t centreX = 125000000;
constexpr std::int32_t positionStep = 25000000;
constexpr std::int32_t circleRadius = 10000000;
constexpr std::int32_t awayY = 100000000;
constexpr int countdownSeconds = 4;
constexpr DWORD pollMs = 100;

}  // namespace

checkKnifeBatch_t::checkKnifeBatch_t()
{
    addStage(L"Move XY Bridge");
    addStage(L"4 Seconds Pause");
    addStage(L"Draw Circle");
    addStage(L"Distance XY Bridge");
}

std::int32_t checkKnifeBatch_t::circleX(int position)
{
    const int k = (position + 1) / 2;
    return position % 2 == 0 ? centreX + k * positionStep : centreX - k * positionStep;
}

void checkKnifeBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;
    // A RESUME of the previous run must not end this run's pause.
    resume_.reset();

    // Move XY Bridge
    sendAndCheck(141, byteArg, 0);
    if (!dev->isAxisFlagSet(0))
        sendAndCheck(130, byteArg, 0);
    sendAndCheck(135, intArg, circleX(circlePosition_.load()), intArg, bridgeY);
    finishStage();

    // 4 Seconds Pause: RESUME takes the machine out of state 5; a window
    // closed while it is still in state 5 was cancelled.
    waitForUiEvent(resume_);
    if (dev->getMachineState() == technicianState)
        throw aborted_e;
    waitForTechnicianMode();
    for (int n = countdownSeconds; n >= 1; --n) {
        setStageStatus(inProgress_e, n > 1 ? toStr(n) + L" Seconds Left..." : std::wstring(L"1 Second Left..."));
        abortEvent().wait(countdownStepMs_.load());
        if (abortEvent().isSet() || dev->getMachineState() != technicianState)
            throw aborted_e;
        // A lost link leaves the old state 5 behind: the knife must not be
        // taken on a link that came back after the media was put in place.
        checkLink();
    }
    sendAndCheck(140, byteArg, 0, byteArg, 0);
    finishStage();

    // Draw Circle
    circlePosition_.store((circlePosition_.load() + 1) % positionCount);
    sendAndCheck(150, byteArg, 1);
    packetBuffer_t arc;
    arc.appendInt(static_cast<std::uint32_t>(circleRadius));
    arc.appendShort(0);
    arc.appendShort(360);
    checkLink();
    if (!dev->sendCommandDataWait(136, arc))
        throw aborted_e;
    checkMachine();
    sendAndCheck(141, byteArg, 0);
    finishStage();

    // Distance XY Bridge: the last RESUME (or Cancel) ends the check.
    setStageStatus(inProgress_e, L"Press RESUME...");
    while (dev->getMachineState() == technicianState && !abortEvent().wait(pollMs)) {
        // Without the link no RESUME can be seen: the old state 5 stays.
        checkLink();
    }
    onStopped(completed_e);
    abortEvent().reset();
    finishStage();
}

void checkKnifeBatch_t::waitForTechnicianMode()
{
    qvrClientDev_t* dev = device();
    dev->prepareForBatch();
    while (dev->getMachineState() != technicianState) {
        if (abortEvent().wait(pollMs))
            throw aborted_e;
        // Over a lost link the state read is the old one, for ever.
        checkLink();
    }
}

void checkKnifeBatch_t::onStageCompleted(int stage)
{
    if (stage != 0)
        return;
    waitForResume(ownerWindow(), device());
    resume_.set();
}

void checkKnifeBatch_t::onStopped(stageStatus_t)
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        return;
    dev->sendCommandArgs(141, byteArg, 0);
    if (currentStage() >= 2 && dev->getStatus().yPosition() == dev->nanoToSteps(1, bridgeY))
        dev->sendCommandArgs(134, intArg, 0, intArg, awayY);
}
