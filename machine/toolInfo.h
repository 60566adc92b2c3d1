// One tool record of the machine's tool table, in the machine's own 10-byte
// format (offsets are part of it):
//   0 uint8 flags: bits 0-5 location, bit 6 sensor used, bit 7 active
//   1 uint8 diameter (tenths of a millimetre)
//   2 int16 speed
//   4 int16 DZ Pen Up Down (microns)
//   6 int16 DZ Table Up (microns)
//   8 uint8 refill time (seconds)
//   9 uint8 refill length (decimetres)
// The table holds 12 records from byte 512 of the parameter memory.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

class qvrCommDev_t;

class toolInfo_t {
public:
    static constexpr int size = 10;
    // Field indices of getField, setField and the change log.
    enum field_e : int {
        location_e = 0,
        dzPenUpDown_e = 1,
        dzTableUp_e = 2,
        active_e = 3,
        sensorUsed_e = 4,
        speed_e = 5,
        diameter_e = 6,
        refillLength_e = 7,
        refillTime_e = 8,
    };

    toolInfo_t() = default;
    static toolInfo_t fromBytes(const std::uint8_t* bytes10);
    void toBytes(std::uint8_t* bytes10) const;
    const std::array<std::uint8_t, size>& bytes() const { return bytes_; }

    std::uint8_t flags() const { return bytes_[0]; }
    int location() const { return bytes_[0] & 0x3F; }
    bool isActive() const { return (bytes_[0] & 0x80) != 0; }
    bool isSensorUsed() const { return (bytes_[0] & 0x40) != 0; }
    int diameter() const { return bytes_[1]; }
    int speed() const { return getI16(2); }
    int dzPenUpDown() const { return getI16(4); }
    int dzTableUp() const { return getI16(6); }
    int refillTime() const { return bytes_[8]; }
    int refillLength() const { return bytes_[9]; }

    // The location's low 6 bits; the active and sensor bits are kept.
    void setLocation(int n);
    void setActive(bool on);
    void setSensorUsed(bool on);
    // Values are truncated to their field's width.
    void setDiameter(int v) { bytes_[1] = static_cast<std::uint8_t>(v); }
    void setSpeed(int v) { putI16(2, v); }
    void setDzPenUpDown(int v) { putI16(4, v); }
    void setDzTableUp(int v) { putI16(6, v); }
    void setRefillTime(int v) { bytes_[8] = static_cast<std::uint8_t>(v); }
    void setRefillLength(int v) { bytes_[9] = static_cast<std::uint8_t>(v); }

    // The field of an index (16-bit fields signed, active and sensor 0 or 1);
    // any other index reads 0.
    int getField(int index) const;
    // Nothing when the value equals the field; else the change is logged to
    // the device's "Updates.txt" (not when device is null), then stored.
    void setField(qvrCommDev_t* device, int toolNumber, int index, int value);
    // The same with the log's path given (empty: no log).
    void setFieldLogged(const std::wstring& updatesPath, int toolNumber, int index, int value);
    // Appends "date time -> Tool #n, field has changed from old to new".
    void logChange(qvrCommDev_t* device, int toolNumber, int index, int newValue) const;
    void logChangeTo(const std::wstring& updatesPath, int toolNumber, int index, int newValue) const;

    bool operator==(const toolInfo_t&) const = default;

private:
    int getI16(int offset) const {
        return static_cast<std::int16_t>(
            static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8)));
    }
    void putI16(int offset, int v) {
        bytes_[offset] = static_cast<std::uint8_t>(v);
        bytes_[offset + 1] = static_cast<std::uint8_t>(static_cast<unsigned>(v) >> 8);
    }
    void storeField(int index, int value);

    std::array<std::uint8_t, size> bytes_{};
};

using toolTable_t = std::array<toolInfo_t, 12>;

// "location", "dzPenUpDown (microns)", ...; empty for any other index.
std::wstring toolFieldName(int index);

// The values a field can hold without being cut to its width: location
// 0-63, the 16-bit fields -32768 to 32767, the byte fields 0-255, active
// and sensor 0-1. Any other index holds nothing.
struct toolFieldRange_t {
    int lowest = 1;
    int highest = 0;
    bool holds(long long value) const { return value >= lowest && value <= highest; }
};
toolFieldRange_t toolFieldRange(int index);
// 0 "Cutting Knife", 4 "AG mini (1mm)", 5 "AG midi (3mm)", 6 "AG maxi (6mm)",
// 7 "AG maxi 2 (6mm)", 9 "Trim Knife", 1-3, 8, 10, 11 "Unused Tool", else "---Error---".
std::wstring toolTypeName(int toolNumber);

// The 12 records at byte 512 of an image (clipped to the image).
void readToolTable(std::span<const std::int32_t> image, toolInfo_t* out12);
void writeToolTable(std::span<std::int32_t> image, const toolInfo_t* tools12);
