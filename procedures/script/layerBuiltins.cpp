#include "procedures/script/layerBuiltins.h"

#include "procedures/script/scriptMachine.h"
#include "procedures/script/unitConversion.h"

namespace {

constexpr std::uint8_t layerLengthCode = 14;
constexpr std::uint8_t measureHeightCode = 139;
constexpr std::uint8_t ironCode = 142;
constexpr std::uint8_t trimCode = 143;
constexpr std::uint8_t feedCode = 144;
constexpr std::uint8_t hookIronCode = 151;

// The layer length is only queued, so it goes out in any machine state; the
// feed that uses it is awaited.
void feed(std::int32_t length)
{
    const std::int32_t nanometres = unitsToMachine(length, axisFeeder_e);
    scriptMachine_t::queue(layerLengthCode, scriptMachine_t::int32Field, nanometres);
    scriptMachine_t::wait(feedCode);
}

void iron()
{
    scriptMachine_t::wait(ironCode, scriptMachine_t::byteField, 1);
}

void trim()
{
    scriptMachine_t::wait(trimCode);
}

}  // namespace

std::int32_t FeedIronTrim_t::exec()
{
    feed(argument(0));
    iron();
    trim();
    return scriptMachine_t::status().layerLength();
}

std::int32_t FeedLayer_t::exec()
{
    feed(argument(0));
    return scriptMachine_t::status().layerLength();
}

std::int32_t IronLayer_t::exec()
{
    iron();
    return 0;
}

std::int32_t TrimLayer_t::exec()
{
    trim();
    return 0;
}

std::int32_t modelHeight_t::exec()
{
    scriptMachine_t::wait(measureHeightCode, scriptMachine_t::byteField, 1);
    return scriptMachine_t::status().measuredHeight();
}

std::int32_t hookIron_t::exec()
{
    scriptMachine_t::wait(hookIronCode, scriptMachine_t::byteField, 1);
    return 0;
}

std::int32_t unhookIron_t::exec()
{
    scriptMachine_t::wait(hookIronCode, scriptMachine_t::byteField, 0);
    return 0;
}
