// "sleepMsec" (ms): the script's thread sleeps that long. It sleeps in slices
// and ends early when the run is asked to stop, so that closing the progress
// window never waits for a long pause; a negative count sleeps not at all.
#pragma once
#include "procedures/script/batchFuncExec.h"

class sleepMsec_t : public batchFuncExec_t {
public:
    static constexpr int sliceMs = 100;
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
