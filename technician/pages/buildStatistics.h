// The statistics of the current build, as the Build page shows them: plain
// values computed from the per-layer records, each text with the lamp that
// judges it (good, bad or neutral). No Qt here, so that a test can feed it
// literal layer records.
#pragma once
#include "link/layerRecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class buildStatistics_t {
public:
    enum lampState_e : int { bad_e = 0, good_e = 1, neutral_e = 2 };
    static constexpr int lampCount = 12;
    // Below this embedded version the printer does not count tool retries
    // nor measure the pump, so those two texts stay empty.
    static constexpr int toolAndPumpVersion = 1120;

    // The lamps, by number.
    enum lamp_e : int {
        modelHeightLamp = 0,
        thicknessLamp = 1,
        feedingLamp = 2,
        rollerTeethLamp = 3,
        trimmingLamp = 4,
        xyHomeLamp = 5,
        toolRetriesLamp = 6,
        pumpLamp = 7,
        bouncingLamp = 8,
        stuckAtStartLamp = 9,
        thicknessErrorLamp = 10,
        searchFailuresLamp = 11,
    };

    std::wstring layersInCalculation;
    std::wstring modelHeight;
    std::wstring averageThickness;
    std::wstring xyHomeDifferences;
    std::wstring rollerTeeth;
    std::wstring feedingRetries;
    std::wstring trimmingRetries;
    std::wstring toolRetries;
    std::wstring pumpMistake;
    std::wstring searchFailures;
    std::wstring thicknessErrors;
    std::wstring bouncing;
    std::wstring stuckAtStart;
    std::array<lampState_e, lampCount> lamps{};

    // layers holds the records of layers 1 to N in order (N = layers.size(),
    // at least 1: record 0 is the table before the first layer and takes no
    // part). machineLayers is the layer count the machine's status gives,
    // thickness the model's layer thickness in nanometres.
    static buildStatistics_t compute(const std::vector<layerRecord_t>& layers, int machineLayers,
                                     int embeddedVersion, std::int32_t thickness);
};
