#include "procedures/script/axisBuiltins.h"

#include "procedures/script/scriptMachine.h"
#include "procedures/script/unitConversion.h"

namespace {

constexpr std::uint8_t homeCode = 130;
constexpr std::uint8_t setPositionCode = 137;

std::int32_t home(int axis)
{
    scriptMachine_t::wait(homeCode, scriptMachine_t::byteField, axis);
    return 0;
}

std::int32_t clear(int axis)
{
    scriptMachine_t::wait(setPositionCode, scriptMachine_t::byteField, axis, scriptMachine_t::int32Field, 0);
    return 0;
}

}  // namespace

// Axis 0 homes the whole XY head.
std::int32_t homeX_t::exec() { return home(axisX_e); }
std::int32_t homeZ_t::exec() { return home(axisZ_e); }
std::int32_t homePump_t::exec() { return home(axisPump_e); }
std::int32_t homeFEEDER_t::exec() { return home(axisFeeder_e); }

std::int32_t clearX_t::exec() { return clear(axisX_e); }
std::int32_t clearY_t::exec() { return clear(axisY_e); }
std::int32_t clearZ_t::exec() { return clear(axisZ_e); }
std::int32_t clearPump_t::exec() { return clear(axisPump_e); }
std::int32_t clearFEEDER_t::exec() { return clear(axisFeeder_e); }
