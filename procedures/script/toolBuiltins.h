// Tools and the DC valve: "changeTOOL" (140: tool byte, byte 0),
// "returnTOOL" (141 byte 0), both awaited; "valveDCon" and "valveDCoff"
// (160: byte 4 or 0, byte 4), only queued; "logicalTOOL" and "physicalTOOL"
// read the machine information after the status request 147.
#pragma once
#include "procedures/script/batchFuncExec.h"

class changeTOOL_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class returnTOOL_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class valveDCon_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class valveDCoff_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class logicalTOOL_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class physicalTOOL_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
