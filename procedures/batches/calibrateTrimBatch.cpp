#include "procedures/batches/calibrateTrimBatch.h"

#include "link/qvrClientDev.h"
#include "machine/packetBuffer.h"
#include "machine/wstr.h"
#include "platform/ticks.h"
#include "procedures/batches/batchDialogs.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int32_t byteArg = 1;
constexpr std::int32_t intArg = 4;
constexpr std::int32_t yAxis = 1;
constexpr std::int32_t feederAxis = 4;
constexpr std::int32_t layerLength = 90000000;    // nm
constexpr std::int32_t lineSpacing = 200000;      // nm between two drawn lines
constexpr std::int32_t firstLineOffset = 600000;  // line n lies at n x 0.2 mm - 0.6 mm
constexpr std::int32_t lineX0 = 28000000;
constexpr std::int32_t lineXStep = 14000000;
constexpr std::int32_t lineLength = 12500000;
constexpr std::int32_t lineY0 = 30850000;
constexpr std::int32_t labelY0 = 40850000;
constexpr std::int32_t labelSize = 100;
constexpr std::int32_t trimY = 300000000;  // bridge position for the manual trim
constexpr std::int32_t endClearanceY = 30000000;
constexpr DWORD sliceMs = 1000;

}  // namespace

calibrateTrimBatch_t::calibrateTrimBatch_t()
{
    addStage(L"Iron First Layer");
    addStage(L"Iron Second Layer");
    addStage(L"Draw Lines & Numbers");
    addStage(L"Choose Number");
    addStage(L"Trim Layer");
    addStage(L"2-Layers Test");
}

int calibrateTrimBatch_t::initialNumber(std::int32_t trimYValue)
{
    // 64-bit: a value near the int32 limits must not wrap into the range.
    const std::int64_t n = (static_cast<std::int64_t>(trimYValue) + 400000) / lineSpacing + 1;
    return static_cast<int>(std::clamp<std::int64_t>(n, 1, lineCount));
}

std::int32_t calibrateTrimBatch_t::trimYForNumber(int number)
{
    return number * lineSpacing - firstLineOffset;
}

void calibrateTrimBatch_t::run()
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        throw aborted_e;
    numberChosen_.reset();

    // Iron First Layer
    homeXYAndUnhookIron();
    savedTrimY_.store(paramValue(L"Trim Y initial"));
    dev->sendCommandArgs(14, intArg, layerLength);
    sendAndCheck(139, byteArg, 1);
    sendAndCheck(144);
    sendAndCheck(142, byteArg, 0);
    if (ask(firstTrimQuestion, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        throw aborted_e;
    sendAndCheck(130, byteArg, feederAxis);
    sendAndCheck(139, byteArg, 1);
    finishStage();

    // Iron Second Layer
    sendAndCheck(144);
    sendAndCheck(142, byteArg, 1);
    finishStage();

    // Draw Lines & Numbers: queued, so that the machine draws while the
    // technician chooses; command 19 is answered once all of it has run.
    dev->sendCommandArgs(140, byteArg, 0, byteArg, 1);
    for (int i = 1; i <= lineCount; ++i) {
        const std::int32_t x = lineX0 + (i - 1) * lineXStep;
        const std::int32_t y = lineY0 + (i - 1) * lineSpacing;
        dev->sendCommandArgs(135, intArg, x, intArg, y);
        dev->sendCommandArgs(150, byteArg, 1, byteArg, i);
        dev->sendCommandArgs(135, intArg, x + lineLength, intArg, y);
        dev->sendCommandArgs(150, byteArg, 0, byteArg, i);
    }
    for (int i = 4; i <= lineCount; i += 4) {
        const std::int32_t x = lineX0 + (i - 1) * lineXStep;
        const std::int32_t y = labelY0 + (i - 1) * lineSpacing;
        dev->sendCommandArgs(140, byteArg, 0, byteArg, 1);
        packetBuffer_t label;
        qvrCommDev_t::appendTextPayload(label, x + (i < 10 ? 4000000 : 2000000), y, labelSize, toStr(i));
        dev->sendCommand(162, &label);
    }
    dev->sendCommand(154);
    // A reply left from an earlier run must not release this run's wait.
    secondEvent().reset();
    dev->sendCommand(19);
    finishStage();

    // Choose Number: the machine draws meanwhile, in state 5.
    waitForUiEvent(numberChosen_, true);
    numberChosen_.reset();
    if (!chosen_.load())
        throw aborted_e;
    finishStage(L"Trim Y = " + fixedText(paramValue(L"Trim Y initial") * 0.000001, 6));

    // Trim Layer
    waitForStatusReply();
    sendAndCheck(151, byteArg, 1);
    sendAndCheck(129, byteArg, yAxis, intArg, trimY);
    if (ask(removeQuestion, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        throw aborted_e;
    sendAndCheck(130, byteArg, feederAxis);
    sendAndCheck(151, byteArg, 0);
    finishStage();

    // 2-Layers Test
    sendAndCheck(139, byteArg, 1);
    sendAndCheck(145);
    sendAndCheck(145);
    finishStage();
}

void calibrateTrimBatch_t::waitForStatusReply()
{
    const std::uint32_t start = tickCount();
    while (!secondEvent().wait(sliceMs)) {
        checkMachine();
        if (tickCount() - start >= secondEventLimit_.load())
            throw failed_e;
    }
}

void calibrateTrimBatch_t::onStageCompleted(int stage)
{
    if (stage != drawStage)
        return;
    // Lines drawn on a link that has since been lost, or by a machine that
    // stopped, may not be there to choose from: no chooser then. Its answer
    // is stored only on the run's link, with the machine still in state 5;
    // otherwise the choice ends the run as a Cancel does.
    bool ok = false;
    int number = initialNumber(savedTrimY_.load());
    if (machineFitness() == completed_e &&
        chooseTrimNumber(ownerWindow(), lineCount, number, number) && number >= 1 && number <= lineCount)
        ok = storeParam(L"Trim Y initial", trimYForNumber(number)) == completed_e;
    chosen_.store(ok);
    if (ok)
        refreshMainWindow();
    numberChosen_.set();
}

void calibrateTrimBatch_t::onStopped(stageStatus_t)
{
    qvrClientDev_t* dev = device();
    if (dev == nullptr)
        return;
    dev->sendCommandArgs(151, byteArg, 0);
    dev->sendCommand(141);
    const std::int64_t y = std::max<std::int64_t>(
        static_cast<std::int64_t>(paramValue(L"First Tool Y")) - endClearanceY, std::numeric_limits<std::int32_t>::min());
    dev->sendCommandArgs(135, intArg, paramValue(L"End Model Pos X"), intArg, static_cast<std::int32_t>(y));
}
