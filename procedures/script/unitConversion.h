// Lengths in scripts: in microns after "micronsUnits", in motor steps of the
// default step size after "stepsUnits" and at start-up. The mode is one value
// for the whole program and outlives runs.
#pragma once
#include <cstdint>

enum batchUnitMode_t : int {
    micronsUnits_e = 0,
    stepsUnits_e = 1,
};

enum batchAxis_t : int {
    axisX_e = 0,
    axisY_e = 1,
    axisZ_e = 2,
    axisPump_e = 3,
    axisFeeder_e = 4,
};

constexpr int batchAxisCount = 5;

batchUnitMode_t unitMode();
void setUnitMode(batchUnitMode_t mode);

// Fills the step-size table from the factory defaults of the step-size
// parameters (nanometres per step); the machine's own values are not used.
void initAxisStepSizes();
std::int32_t axisStepSize(int axis);

// A script length on an axis in nanometres. A length whose nanometre value
// does not fit in 32 bits raises "length out of range": a wrapped value
// would send the machine somewhere else entirely.
std::int32_t unitsToMachine(std::int32_t value, int axis);
