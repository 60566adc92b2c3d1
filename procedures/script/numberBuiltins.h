// "rand": the run-time library's pseudo-random number (0 to 32767, never
// seeded). "sqrt" (v): the square root of |v|, truncated toward zero.
#pragma once
#include "procedures/script/batchFuncExec.h"

class rand_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class sqrt_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
