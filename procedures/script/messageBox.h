// "messageBox": pauses the script with a box that has no owner window; the
// script goes on when the user closes it.
#pragma once
#include "procedures/script/batchFuncExec.h"

class messageBox_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
