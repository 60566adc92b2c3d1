#include "procedures/script/motionBuiltins.h"

#include "procedures/script/scriptMachine.h"
#include "procedures/script/unitConversion.h"

namespace {

constexpr std::uint8_t relativeMoveCode = 128;
constexpr std::uint8_t absoluteMoveCode = 129;
constexpr std::uint8_t relativeXYMoveCode = 134;
constexpr std::uint8_t absoluteXYMoveCode = 135;

using field_t = std::int32_t (*)(const machineStatus_t&);

std::int32_t xOf(const machineStatus_t& s) { return s.xPosition(); }
std::int32_t yOf(const machineStatus_t& s) { return s.yPosition(); }
std::int32_t zOf(const machineStatus_t& s) { return s.zPosition(); }
std::int32_t pumpOf(const machineStatus_t& s) { return s.pumpPosition(); }
std::int32_t feederOf(const machineStatus_t& s) { return s.feederPosition(); }

// One axis, one length: the axis byte and the length in nanometres, awaited;
// then the axis's position as the status after the reply shows it.
std::int32_t moveAxis(std::uint8_t code, int axis, std::int32_t length, field_t position)
{
    const std::int32_t nanometres = unitsToMachine(length, axis);
    scriptMachine_t::wait(code, scriptMachine_t::byteField, axis, scriptMachine_t::int32Field, nanometres);
    return position(scriptMachine_t::status());
}

std::int32_t moveXY(std::uint8_t code, std::int32_t x, std::int32_t y)
{
    // Both lengths are checked before anything goes out.
    const std::int32_t nx = unitsToMachine(x, axisX_e);
    const std::int32_t ny = unitsToMachine(y, axisY_e);
    scriptMachine_t::wait(code, scriptMachine_t::int32Field, nx, scriptMachine_t::int32Field, ny);
    return 0;
}

}  // namespace

std::int32_t moveXYby_t::exec() { return moveXY(relativeXYMoveCode, argument(0), argument(1)); }
std::int32_t moveXYto_t::exec() { return moveXY(absoluteXYMoveCode, argument(0), argument(1)); }

std::int32_t moveXto_t::exec() { return moveAxis(absoluteMoveCode, axisX_e, argument(0), xOf); }
std::int32_t moveYto_t::exec() { return moveAxis(absoluteMoveCode, axisY_e, argument(0), yOf); }
std::int32_t moveZto_t::exec() { return moveAxis(absoluteMoveCode, axisZ_e, argument(0), zOf); }
std::int32_t moveFEEDERto_t::exec() { return moveAxis(absoluteMoveCode, axisFeeder_e, argument(0), feederOf); }
std::int32_t movePumpTo_t::exec() { return moveAxis(absoluteMoveCode, axisPump_e, argument(0), pumpOf); }

std::int32_t movePumpBy_t::exec() { return moveAxis(relativeMoveCode, axisPump_e, argument(0), pumpOf); }
std::int32_t moveXby_t::exec() { return moveAxis(relativeMoveCode, axisX_e, argument(0), xOf); }
std::int32_t moveYby_t::exec() { return moveAxis(relativeMoveCode, axisY_e, argument(0), yOf); }
std::int32_t moveZby_t::exec() { return moveAxis(relativeMoveCode, axisZ_e, argument(0), zOf); }
std::int32_t moveFEEDERby_t::exec() { return moveAxis(relativeMoveCode, axisFeeder_e, argument(0), feederOf); }
