#include "procedures/script/unitConversion.h"

#include "machine/machineParam.h"

#include <atomic>
#include <limits>
#include <stdexcept>

namespace {

// "X Step Size", "Y Step Size", "Z Step Size", "Pump Step Size" and "Feeder
// Step Size" are parameter words 64 to 68, in nanometres per step. The table
// starts with their factory defaults, so it is filled even before
// initAxisStepSizes runs.
constexpr int firstStepSizeWord = 64;
std::int32_t stepSizes[batchAxisCount] = {21892, 21892, 1250, 2500, 7860};
std::atomic<int> mode{stepsUnits_e};

}  // namespace

batchUnitMode_t unitMode()
{
    return static_cast<batchUnitMode_t>(mode.load());
}

void setUnitMode(batchUnitMode_t newMode)
{
    mode.store(newMode);
}

void initAxisStepSizes()
{
    const auto& defaults = getDefaultParameterTable();
    for (int axis = 0; axis < batchAxisCount; ++axis)
        stepSizes[axis] = defaults[static_cast<std::size_t>(firstStepSizeWord + axis)];
}

std::int32_t axisStepSize(int axis)
{
    if (axis < 0 || axis >= batchAxisCount)
        throw std::logic_error("axisStepSize(int) should NOT be called");
    return stepSizes[axis];
}

std::int32_t unitsToMachine(std::int32_t value, int axis)
{
    std::int64_t step = axisStepSize(axis);
    std::int64_t factor = unitMode() == micronsUnits_e ? 1000 : step;
    std::int64_t nanometres = static_cast<std::int64_t>(value) * factor;
    if (nanometres < std::numeric_limits<std::int32_t>::min() || nanometres > std::numeric_limits<std::int32_t>::max())
        throw std::runtime_error("length out of range");
    return static_cast<std::int32_t>(nanometres);
}
