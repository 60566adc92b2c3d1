// "Calibrate Z Abs Zero": measures the height of the empty table and, when it
// lies in the range a sound machine can have and the technician agrees,
// stores it as "Z Abs Zero".
#pragma once
#include "procedures/batches/baseStaticBatch.h"

#include <cstdint>
#include <string>

class calibrateZabsZero_t : public baseStaticBatch_t {
public:
    static constexpr std::int32_t lowestZ = 142000000;   // nm
    static constexpr std::int32_t highestZ = 148000000;  // nm

    calibrateZabsZero_t();

    std::wstring name() const override { return L"Calibrate Z Abs Zero"; }
    void run() override;

    // The measured height in mm as the questions write it.
    static std::wstring millimetres(std::int32_t nm);
};
