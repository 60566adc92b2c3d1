// Drawing with the pen: "penUP" and "penDOWN" (150 with byte 0 or 1), "arc"
// (136: int32 radius in nanometres, int16 first and second angle in
// degrees) and "drawRectWithAngle" (a rectangle of moves 135 between a pen
// down and a pen up). All awaited; all return 0.
#pragma once
#include "procedures/script/batchFuncExec.h"

class arc_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class penUP_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class penDOWN_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class drawRectWithAngle_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
