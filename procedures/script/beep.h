// "beep": the system's default beep.
#pragma once
#include "procedures/script/batchFuncExec.h"

class beep_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
