// The layer processes: feed (144, after the layer length 14 that is only
// queued), iron (142 byte 1), trim (143), measure the height (139 byte 1),
// hook and unhook the iron (151 byte 1 or 0). "FeedLayer" and "FeedIronTrim"
// return the status's layer length, "modelHeight" the measured height.
#pragma once
#include "procedures/script/batchFuncExec.h"

class FeedIronTrim_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class FeedLayer_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class IronLayer_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class TrimLayer_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class modelHeight_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class hookIron_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};

class unhookIron_t : public batchFuncExec_t {
public:
    using batchFuncExec_t::batchFuncExec_t;
    std::int32_t exec() override;
};
