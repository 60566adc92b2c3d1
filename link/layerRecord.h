// layerRecord_t: the per-layer build record, the 44-byte payload of reply
// packet 9. The client device keeps one per layer of the current build.
// Kept as the machine's bytes; fields are read by offset and width
// (little-endian). Bytes that no field names are carried unchanged.
#pragma once
#include "machine/littleEndian.h"

#include <array>
#include <cstddef>
#include <cstdint>

class layerRecord_t {
public:
    static constexpr std::size_t size = 44;

    std::array<std::uint8_t, size> bytes{};

    // Copies the first 44 bytes; false (record unchanged) when fewer are given.
    bool assign(const std::uint8_t* data, std::size_t length)
    {
        if (data == nullptr || length < size)
            return false;
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = data[i];
        return true;
    }

    // Height of the stack in nanometres.
    std::int32_t height() const { return le::getI32(&bytes[4]); }
    // Home values in steps, against the previous layer.
    std::int8_t xHome() const { return static_cast<std::int8_t>(bytes[20]); }
    std::int8_t yHome() const { return static_cast<std::int8_t>(bytes[21]); }
    std::uint8_t sensorBouncing() const { return bytes[25]; }
    std::uint8_t thicknessError() const { return bytes[26]; }
    // 0 none, 255 invalid.
    std::uint8_t rollerTeethPulses() const { return bytes[27]; }
    std::uint8_t sensorStuckAtStart() const { return bytes[28]; }
    std::uint8_t accurateSearchFailures() const { return bytes[29]; }
    std::uint8_t feedingTries() const { return bytes[30]; }
    std::uint8_t trimmingTries() const { return bytes[31]; }
    std::uint8_t toolRetries() const { return bytes[35]; }
    // Micrometres.
    std::int16_t pumpError() const { return le::getI16(&bytes[40]); }

    bool operator==(const layerRecord_t& other) const = default;
};
