// Little-endian fields of the machine's packets and records, read and written
// by offset and width. The machine and its records are 32-bit little-endian
// whatever this build is, so nothing is ever cast over the bytes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace le {

inline std::uint8_t getU8(const std::uint8_t* p) { return p[0]; }
inline std::uint16_t getU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t getI16(const std::uint8_t* p) { return static_cast<std::int16_t>(getU16(p)); }
inline std::uint32_t getU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t getI32(const std::uint8_t* p) { return static_cast<std::int32_t>(getU32(p)); }

inline void putU8(std::uint8_t* p, std::uint32_t v) { p[0] = static_cast<std::uint8_t>(v); }
inline void putU16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Words of a parameter-memory image as the machine stores them (word i at
// byte 4 i, little-endian).
inline void wordsToBytes(const std::int32_t* words, std::size_t count, std::uint8_t* out)
{
    for (std::size_t i = 0; i < count; ++i)
        putU32(out + 4 * i, static_cast<std::uint32_t>(words[i]));
}
inline void bytesToWords(const std::uint8_t* bytes, std::size_t count, std::int32_t* out)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] = getI32(bytes + 4 * i);
}

}  // namespace le
