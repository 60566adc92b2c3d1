// Sensors and state: each awaits the status request 147 and then reads one
// bit of the status's sensor or flags word as 0 or 1; "isDOORopen" asks the
// device (the door bits depend on the machine type); "errorNumber" returns
// minus the machine's error number (0 to -255).
#pragma once
#include "procedures/script/batchFuncExec.h"

class isXhome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isYhome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isZhome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isIRONhome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isPumpHome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isFEEDERhome_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isIRONup_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class hasLowerMedia_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class hasUpperMedia_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isROLLtooth_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isDOORthrown_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isDOORopen_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isPenDOWN_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class isPenUP_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class errorNumber_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
