// Byte access to a parameter-memory image. The image is 32-bit words, each
// stored little-endian on the machine, so byte b of the memory is byte
// (b mod 4) of word b / 4. Every access is clipped to the image: a read
// outside it gives 0, a write outside it is dropped. Images may be shorter
// than 1024 words (the factory block starts at word 384).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace paramImage {

inline std::uint8_t getByte(std::span<const std::int32_t> image, std::size_t byteOffset) {
    if (byteOffset / 4 >= image.size())
        return 0;
    const auto word = static_cast<std::uint32_t>(image[byteOffset / 4]);
    return static_cast<std::uint8_t>(word >> (8 * (byteOffset % 4)));
}

inline void setByte(std::span<std::int32_t> image, std::size_t byteOffset, std::uint8_t value) {
    if (byteOffset / 4 >= image.size())
        return;
    const unsigned shift = 8 * (byteOffset % 4);
    auto word = static_cast<std::uint32_t>(image[byteOffset / 4]);
    word = (word & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(value) << shift);
    image[byteOffset / 4] = static_cast<std::int32_t>(word);
}

inline std::uint16_t getU16(std::span<const std::int32_t> image, std::size_t byteOffset) {
    return static_cast<std::uint16_t>(getByte(image, byteOffset) | (getByte(image, byteOffset + 1) << 8));
}

inline void setU16(std::span<std::int32_t> image, std::size_t byteOffset, std::uint32_t value) {
    setByte(image, byteOffset, static_cast<std::uint8_t>(value));
    setByte(image, byteOffset + 1, static_cast<std::uint8_t>(value >> 8));
}

inline void copyOut(std::span<const std::int32_t> image, std::size_t byteOffset, std::uint8_t* out,
                    std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = getByte(image, byteOffset + i);
}

inline void copyIn(std::span<std::int32_t> image, std::size_t byteOffset, const std::uint8_t* data,
                   std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        setByte(image, byteOffset + i, data[i]);
}

} // namespace paramImage
