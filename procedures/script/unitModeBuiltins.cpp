#include "procedures/script/unitModeBuiltins.h"

#include "procedures/script/unitConversion.h"

std::int32_t micronsUnits_t::exec()
{
    setUnitMode(micronsUnits_e);
    return 0;
}

std::int32_t stepsUnits_t::exec()
{
    setUnitMode(stepsUnits_e);
    return 0;
}
