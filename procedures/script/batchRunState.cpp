#include "procedures/script/batchRunState.h"

#include "procedures/script/resultLogTable.h"

#include <stdexcept>

std::int32_t batchRunState_t::globalCells[batchRunState_t::cellCount] = {};
userFuncExec_t* batchRunState_t::currentUserFunc = nullptr;
std::int32_t batchRunState_t::lastValue = 0;
std::atomic<bool> batchRunState_t::stopRequested{false};
batchStopTest_t batchRunState_t::stopTest;
std::ostream* batchRunState_t::traceStream = nullptr;
const userFuncDefnList_t* batchRunState_t::bindingDefinitions = nullptr;
bool batchRunState_t::bindBuiltins = true;

void batchRunState_t::checkStopFlag()
{
    if (stopRequested.load()) {
        closeResultLogs();
        throw std::runtime_error("EXECUTION INTERRUPTED BY STOP");
    }
}

void batchRunState_t::checkStopInLoop(int line, const char* what)
{
    checkStopFlag();
    if (stopTest && !stopTest(line, what))
        checkStopFlag();
}
