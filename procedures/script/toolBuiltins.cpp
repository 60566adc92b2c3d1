#include "procedures/script/toolBuiltins.h"

#include "procedures/script/scriptMachine.h"

namespace {

constexpr std::uint8_t takeToolCode = 140;
constexpr std::uint8_t returnToolCode = 141;
constexpr std::uint8_t valveCode = 160;
constexpr std::int32_t valveOn = 4;
constexpr std::int32_t valveOff = 0;
constexpr std::int32_t dcValve = 4;

}  // namespace

std::int32_t changeTOOL_t::exec()
{
    // The byte field keeps the tool number's low 8 bits.
    scriptMachine_t::wait(takeToolCode, scriptMachine_t::byteField, argument(0), scriptMachine_t::byteField, 0);
    return 0;
}

std::int32_t returnTOOL_t::exec()
{
    scriptMachine_t::wait(returnToolCode, scriptMachine_t::byteField, 0);
    return 0;
}

std::int32_t valveDCon_t::exec()
{
    scriptMachine_t::queue(valveCode, scriptMachine_t::byteField, valveOn, scriptMachine_t::byteField, dcValve);
    return 0;
}

std::int32_t valveDCoff_t::exec()
{
    scriptMachine_t::queue(valveCode, scriptMachine_t::byteField, valveOff, scriptMachine_t::byteField, dcValve);
    return 0;
}

std::int32_t logicalTOOL_t::exec()
{
    scriptMachine_t::wait(scriptMachine_t::statusRequestCode);
    return scriptMachine_t::currentTool();
}

std::int32_t physicalTOOL_t::exec()
{
    scriptMachine_t::wait(scriptMachine_t::statusRequestCode);
    return scriptMachine_t::info().physicalTool();
}
