// "resetCounter" (id), "increaseCounter" (id) and "printCounterEvery" (id, n):
// counters of the running script; an increase that reaches a multiple of
// the counter's interval writes "Counter #id = value" to the trace log.
#pragma once
#include "procedures/script/batchFuncExec.h"

class resetCounter_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class increaseCounter_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class printCounterEvery_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
