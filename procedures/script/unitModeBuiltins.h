// "micronsUnits" and "stepsUnits": the unit of script lengths from now on.
#pragma once
#include "procedures/script/batchFuncExec.h"

class micronsUnits_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class stepsUnits_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
