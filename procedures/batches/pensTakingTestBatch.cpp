#include "procedures/batches/pensTakingTestBatch.h"

#include "link/qvrClientDev.h"
#include "machine/wstr.h"

namespace {

constexpr std::int32_t byteArg = 1;

}  // namespace

pensTakingTestBatch_t::pensTakingTestBatch_t(int loopCount) : loopCount_(loopCount)
{
    addStage(L"Preperations");
    addStage(L"Pens Taking Test");
}

void pensTakingTestBatch_t::run()
{
    // Preperations
    homeXYAndUnhookIron();
    sendAndCheck(141, byteArg, 0);
    finishStage();

    // Pens Taking Test
    for (int i = 1; i <= loopCount_; ++i) {
        sendAndCheck(140, byteArg, 4, byteArg, 0);
        sendAndCheck(140, byteArg, 5, byteArg, 0);
        sendAndCheck(140, byteArg, 6, byteArg, 0);
        setStageStatus(inProgress_e, toStr(i) + L"/" + toStr(loopCount_) + L" Loops Done");
    }
    sendAndCheck(141, byteArg, 0);
    finishStage();
}

void pensTakingTestBatch_t::onStopped(stageStatus_t)
{
    if (qvrClientDev_t* dev = device())
        dev->sendCommandArgs(141, byteArg, 0);
}
