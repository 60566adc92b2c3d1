// qvrHostModelInfo_t: the model being built.
//
// The printer reports it as the 60-byte payload of device packet type 8; the
// machines server sends it as an archive object ("HASNEWMODELINFO", written
// and read by link/exchangeArchive.h). This header is the plain value type
// and its 60-byte packet form; it knows nothing of archives.
//
// Packet form (little-endian, offsets within the 60 bytes):
//   0..35   nine int32 (values[0..8]); values[1] is the layer thickness in nm
//   36..41  three uint16 (words[0..2])
//   42..58  the model name, 17 narrow (code page 1252) characters
//   59      terminating zero
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class qvrHostModelInfo_t {
public:
    static constexpr std::size_t packetSize = 60;
    static constexpr std::size_t valueCount = 9;
    static constexpr std::size_t wordCount = 3;
    static constexpr std::size_t nameLength = 17; // characters, without the terminator
    static constexpr std::size_t valuesOffset = 0;
    static constexpr std::size_t wordsOffset = 36;
    static constexpr std::size_t nameOffset = 42;
    static constexpr std::size_t terminatorOffset = 59;

    std::array<int32_t, valueCount> values{};
    std::array<uint16_t, wordCount> words{};
    // Always holds a zero at index nameLength; a shorter name is zero-padded.
    std::array<char, nameLength + 1> name{};

    // The default object has every field zero and an empty name.
    qvrHostModelInfo_t() = default;

    // The model's layer thickness in nanometres (the second integer).
    int32_t layerThickness() const { return values[1]; }

    // The name up to its first zero byte (narrow, code page 1252).
    std::string modelName() const;
    // Stores a narrow name up to its first zero byte, cut to 17 bytes; the
    // rest of the name field becomes zero.
    void setModelName(const std::string& narrow);

    // Fills every field from a packet payload. A payload shorter than 60 bytes
    // is refused (false, object unchanged); bytes after the 60th are ignored.
    // The terminator is always set, whatever byte 59 holds.
    bool readPacket(const uint8_t* bytes, std::size_t length);
    // Writes the 60-byte packet form to out (at least 60 bytes).
    void writePacket(uint8_t* out) const;
    std::array<uint8_t, packetSize> toPacket() const;

    bool operator==(const qvrHostModelInfo_t& other) const = default;
};
