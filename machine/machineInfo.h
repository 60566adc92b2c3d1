// machineInfo_t: the machine information, the 52-byte payload of reply packet
// 11. Kept as the machine's bytes; fields are read by offset and width
// (little-endian). Bytes that no field names are carried unchanged.
#pragma once
#include "machine/littleEndian.h"
#include <array>
#include <cstddef>
#include <cstdint>

class machineInfo_t {
public:
    static constexpr std::size_t size = 52;

    std::array<std::uint8_t, size> bytes{};

    // Copies the first 52 bytes; false (record unchanged) when fewer are given.
    bool assign(const std::uint8_t* data, std::size_t length)
    {
        if (data == nullptr || length < size)
            return false;
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = data[i];
        return true;
    }

    std::uint16_t hardwareRevision() const { return le::getU16(&bytes[4]); }
    std::uint16_t embeddedVersion() const { return le::getU16(&bytes[6]); }
    std::int32_t zHeight() const { return le::getI32(&bytes[8]); }
    std::uint32_t runningMinutes() const { return le::getU32(&bytes[24]); }
    std::uint16_t motorPowerWord() const { return le::getU16(&bytes[30]); }
    std::uint8_t temperature() const { return bytes[32]; }  // 255: not available
    std::uint8_t physicalTool() const { return bytes[34]; }
    std::int8_t currentTool() const { return static_cast<std::int8_t>(bytes[35]); }  // -1: none
    std::int16_t xHeadSteps() const { return le::getI16(&bytes[36]); }
    std::int16_t yHeadSteps() const { return le::getI16(&bytes[38]); }

    void setEmbeddedVersion(std::uint16_t version) { le::putU16(&bytes[6], version); }

    bool operator==(const machineInfo_t& other) const = default;
};
