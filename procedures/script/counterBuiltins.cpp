#include "procedures/script/counterBuiltins.h"

#include "procedures/script/batchRunContext.h"

// Outside a run (a script parsed on its own) there are no counters.

std::int32_t resetCounter_t::exec()
{
    if (auto* context = batchRunContext_t::current())
        context->resetCounter(argument(0));
    return 0;
}

std::int32_t increaseCounter_t::exec()
{
    if (auto* context = batchRunContext_t::current())
        context->increaseCounter(argument(0));
    return 0;
}

std::int32_t printCounterEvery_t::exec()
{
    if (auto* context = batchRunContext_t::current())
        context->setCounterPrintEvery(argument(0), argument(1));
    return 0;
}
