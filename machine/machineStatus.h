// machineStatus_t: the machine's status record, the 60-byte payload of reply
// packets 1 and 13. Kept as the machine's bytes; every field is read and
// written by offset and width (little-endian). Bytes that no field names are
// carried unchanged.
#pragma once
#include "machine/littleEndian.h"
#include <array>
#include <cstddef>
#include <cstdint>

class machineStatus_t {
public:
    static constexpr std::size_t size = 60;

    // Flags word bits.
    static constexpr std::uint32_t flagBit0 = 1u << 0;
    static constexpr std::uint32_t flagXYAxis = 1u << 1;
    static constexpr std::uint32_t flagZAxis = 1u << 2;
    static constexpr std::uint32_t flagPumpAxis = 1u << 3;
    static constexpr std::uint32_t flagFeederAxis = 1u << 4;
    static constexpr std::uint32_t flagInitialised = 1u << 5;
    static constexpr std::uint32_t flagPenDown = 1u << 6;
    static constexpr std::uint32_t flagIronHooked = 1u << 7;
    static constexpr std::uint32_t flagMediaPresent = 1u << 8;
    static constexpr std::uint32_t flagBuilding = 1u << 9;
    static constexpr std::uint32_t flagWarmingUp = 1u << 12;
    static constexpr std::uint32_t flagBit13 = 1u << 13;
    static constexpr std::uint32_t flagModelEnded = 1u << 14;

    std::array<std::uint8_t, size> bytes{};

    // Copies the first 60 bytes; false (record unchanged) when fewer are given.
    bool assign(const std::uint8_t* data, std::size_t length)
    {
        if (data == nullptr || length < size)
            return false;
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = data[i];
        return true;
    }

    std::uint32_t machineID() const { return le::getU32(&bytes[0]); }
    std::int32_t zPosition() const { return le::getI32(&bytes[4]); }
    std::uint32_t sensorWord() const { return le::getU32(&bytes[8]); }
    std::uint32_t flags() const { return le::getU32(&bytes[12]); }
    std::int32_t measuredHeight() const { return le::getI32(&bytes[16]); }
    std::int32_t layerLength() const { return le::getI32(&bytes[20]); }
    std::uint32_t elapsedMs() const { return le::getU32(&bytes[24]); }
    std::int16_t xPosition() const { return le::getI16(&bytes[28]); }
    std::int16_t yPosition() const { return le::getI16(&bytes[30]); }
    std::int16_t pumpPosition() const { return le::getI16(&bytes[32]); }
    std::uint8_t byte34() const { return bytes[34]; }
    std::int16_t currentLayer() const { return le::getI16(&bytes[36]); }
    std::int16_t firstLayer() const { return le::getI16(&bytes[38]); }
    std::int16_t lastLayer() const { return le::getI16(&bytes[40]); }
    std::int16_t layerRecordCount() const { return le::getI16(&bytes[42]); }
    std::uint16_t remainingMinutes() const { return le::getU16(&bytes[46]); }
    std::uint8_t errorNumber() const { return bytes[48]; }
    std::uint8_t machineState() const { return bytes[50]; }
    std::uint8_t activity() const { return bytes[51]; }
    std::int32_t feederPosition() const { return le::getI32(&bytes[56]); }

    bool hasFlag(std::uint32_t bit) const { return (flags() & bit) != 0; }

    void setMachineID(std::uint32_t id) { le::putU32(&bytes[0], id); }
    void setMachineState(std::uint8_t state) { bytes[50] = state; }

    bool operator==(const machineStatus_t& other) const = default;
};
