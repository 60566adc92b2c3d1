// "resultLog" (file name): the value of the next call to complete is written
// to that file as one line. Without an argument, or with one that is not a
// string literal, it cancels the selection.
#pragma once
#include "procedures/script/batchFuncExec.h"

class resultLog_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
