// Layer records of a build, written byte by byte as the printer sends them
// (44 bytes each), for the tests of the build statistics and the Build page.
#pragma once
#include "link/layerRecord.h"
#include "machine/littleEndian.h"

#include <cstdint>
#include <map>
#include <vector>

namespace buildLayers {

// Offsets of the single-byte fields in the record.
namespace at {
inline constexpr int xHome = 20;  // signed steps
inline constexpr int yHome = 21;  // signed steps
inline constexpr int bouncing = 25;
inline constexpr int thicknessError = 26;
inline constexpr int rollerTeeth = 27;  // pulses; 0 none, 255 invalid
inline constexpr int stuckAtStart = 28;
inline constexpr int searchFailures = 29;
inline constexpr int feedingTries = 30;
inline constexpr int trimmingTries = 31;
inline constexpr int toolRetries = 35;
}  // namespace at

// One layer: the stack height at offset 4 (int32, nm), single bytes at their
// offsets, the pump mistake at 40 (int16, microns); every other byte zero.
// The roller teeth give 24 pulses, and feeding and trimming take one try,
// unless a byte says otherwise.
inline layerRecord_t layer(std::int32_t heightNm, const std::map<int, int>& bytes = {}, std::int16_t pumpMicrons = 0)
{
    layerRecord_t record;
    le::putU32(&record.bytes[4], static_cast<std::uint32_t>(heightNm));
    record.bytes[at::rollerTeeth] = 24;
    record.bytes[at::feedingTries] = 1;
    record.bytes[at::trimmingTries] = 1;
    for (const auto& [offset, value] : bytes)
        record.bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
    le::putU16(&record.bytes[40], static_cast<std::uint16_t>(pumpMicrons));
    return record;
}

// Layers 1 to n of equal thickness (nm) over a table at 1 mm.
inline std::vector<layerRecord_t> steady(int n, std::int32_t thickness)
{
    std::vector<layerRecord_t> layers;
    for (int i = 1; i <= n; ++i)
        layers.push_back(layer(1000000 + i * thickness));
    return layers;
}

// The same layers with bytes of layer number (1-based) changed, and its pump
// mistake when one is given.
inline std::vector<layerRecord_t> with(std::vector<layerRecord_t> layers, int number, const std::map<int, int>& bytes,
                                       std::int16_t pumpMicrons = 0)
{
    layerRecord_t& record = layers.at(static_cast<std::size_t>(number - 1));
    for (const auto& [offset, value] : bytes)
        record.bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
    if (pumpMicrons != 0)
        le::putU16(&record.bytes[40], static_cast<std::uint16_t>(pumpMicrons));
    return layers;
}

// The same layers with the roller-teeth pulses of layers 1, 2, ... given.
inline std::vector<layerRecord_t> teeth(std::vector<layerRecord_t> layers, const std::vector<int>& pulses)
{
    for (std::size_t i = 0; i < pulses.size(); ++i)
        layers.at(i).bytes[at::rollerTeeth] = static_cast<std::uint8_t>(pulses[i]);
    return layers;
}

}  // namespace buildLayers
