#include "procedures/script/scriptMachine.h"

#include "link/qvrClientDev.h"
#include "procedures/script/batchRunContext.h"
#include "procedures/script/batchRunState.h"

qvrClientDev_t* scriptMachine_t::device()
{
    auto* context = batchRunContext_t::current();
    return context == nullptr ? nullptr : context->device();
}

bool scriptMachine_t::onRunLink()
{
    auto* context = batchRunContext_t::current();
    return context == nullptr || context->onRunLink();
}

void scriptMachine_t::wait(std::uint8_t code, std::int32_t type1, std::int32_t value1, std::int32_t type2,
                           std::int32_t value2)
{
    auto* d = device();
    if (d != nullptr && !(onRunLink() && d->sendCommandWait(code, type1, value1, type2, value2)))
        batchRunState_t::requestStop();
}

void scriptMachine_t::waitData(std::uint8_t code, const std::uint8_t* bytes, std::int32_t count)
{
    auto* d = device();
    if (d != nullptr && !(onRunLink() && d->sendCommandDataWait(code, bytes, count)))
        batchRunState_t::requestStop();
}

void scriptMachine_t::queue(std::uint8_t code, std::int32_t type1, std::int32_t value1, std::int32_t type2,
                            std::int32_t value2)
{
    if (auto* d = device())
        d->sendCommandArgs(code, type1, value1, type2, value2);
}

machineStatus_t scriptMachine_t::status()
{
    auto* d = device();
    return d == nullptr ? machineStatus_t{} : d->getStatus();
}

machineInfo_t scriptMachine_t::info()
{
    auto* d = device();
    return d == nullptr ? machineInfo_t{} : d->getMachineInfo();
}

std::int32_t scriptMachine_t::currentTool()
{
    auto* d = device();
    return d == nullptr ? 0 : d->getCurrentTool();
}

bool scriptMachine_t::isDoorOpen()
{
    auto* d = device();
    return d != nullptr && d->isDOORopen();
}

machineStatus_t scriptMachine_t::freshStatus()
{
    wait(statusRequestCode);
    return status();
}
