// The moves: "moveXYby" and "moveXYto" (int32 dx, dy or x, y; codes 134 and
// 135), and the single-axis moves, absolute (129) or relative (128), each an
// axis byte and an int32 length in nanometres, returning the moved axis's
// position from the status after the reply. Lengths are in the script's
// unit mode; one that does not fit 32 bits stops the run before anything is
// sent.
#pragma once
#include "procedures/script/batchFuncExec.h"

class moveXYby_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveXYto_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveXto_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveYto_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveZto_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveFEEDERto_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class movePumpTo_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class movePumpBy_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveXby_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveYby_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveZby_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class moveFEEDERby_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
