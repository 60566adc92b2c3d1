// simLayerRecord_t: the 44-byte per-layer build record of reply packet 9,
// kept as the machine's bytes (little-endian, read and written by offset).
// Offsets the client reads:
//   4 int32 stack height after the layer (nm)
//   20, 21 int8 X and Y home value against the previous layer (steps)
//   25 uint8 sensor bouncing      26 uint8 thickness error
//   27 uint8 roller-teeth pulses (0 none, 255 invalid)
//   28 uint8 sensor stuck at start   29 uint8 accurate-search failures
//   30 uint8 feeding tries   31 uint8 trimming tries
//   35 uint8 take/return tool retries   40 int16 pump error (microns)
#pragma once
#include "machine/littleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>

class simLayerRecord_t {
public:
    static constexpr std::size_t size = 44;
    static constexpr std::size_t heightOffset = 4;
    static constexpr std::size_t xHomeOffset = 20;
    static constexpr std::size_t yHomeOffset = 21;
    static constexpr std::size_t bouncingOffset = 25;
    static constexpr std::size_t thicknessErrorOffset = 26;
    static constexpr std::size_t rollerTeethOffset = 27;
    static constexpr std::size_t stuckAtStartOffset = 28;
    static constexpr std::size_t searchFailuresOffset = 29;
    static constexpr std::size_t feedingTriesOffset = 30;
    static constexpr std::size_t trimmingTriesOffset = 31;
    static constexpr std::size_t toolRetriesOffset = 35;
    static constexpr std::size_t pumpErrorOffset = 40;

    std::array<std::uint8_t, size> bytes{};

    std::int32_t height() const { return le::getI32(&bytes[heightOffset]); }
    void setHeight(std::int32_t nm) { le::putU32(&bytes[heightOffset], static_cast<std::uint32_t>(nm)); }
    std::int8_t xHome() const { return static_cast<std::int8_t>(bytes[xHomeOffset]); }
    std::int8_t yHome() const { return static_cast<std::int8_t>(bytes[yHomeOffset]); }
    std::int16_t pumpError() const { return le::getI16(&bytes[pumpErrorOffset]); }
    void setPumpError(std::int16_t microns)
    {
        le::putU16(&bytes[pumpErrorOffset], static_cast<std::uint16_t>(microns));
    }

    bool operator==(const simLayerRecord_t& other) const = default;
};
