// The byte format of an archive message, shared by archiveWriter_t and
// archiveReader_t. Everything is little-endian.
//
// Text ("archive string"): [FF FE FF when wide] then the length in
// characters: one byte when at most 254; else FF and a 16-bit length when at
// most 0xFFFD; else FF, FFFF and a 32-bit length. Then the characters: UTF-16LE
// code units (wide) or code page 1252 bytes (narrow), no terminator. The empty
// wide text is FF FE FF 00.
//
// Object: a 16-bit tag. 0 = no object. FFFF = a class new to this message:
// 16-bit schema, 16-bit name length, the name (narrow, no terminator), then
// the fields. 8000 + i = an object of the class with index i, then the fields.
// i alone (1..7FFE) = the object with index i, already in this message.
// Classes and objects share one index counter that starts at 1 in each
// message, in order of first appearance. Indices from 7FFF on are written as
// the tag 7FFF and a 32-bit value (80000000 + i for a class, i for an object).
//
// List of objects: a 32-bit count, then that many objects.
#pragma once
#include <cstddef>
#include <cstdint>

namespace archiveFormat {

constexpr uint16_t nullTag = 0x0000;
constexpr uint16_t newClassTag = 0xFFFF;
constexpr uint16_t classTag = 0x8000;
constexpr uint16_t bigObjectTag = 0x7FFF;
constexpr uint32_t bigClassTag = 0x80000000u;
constexpr uint32_t maxMapCount = 0x3FFFFFFEu;

constexpr uint8_t lengthEscape = 0xFF;
constexpr uint16_t wideMark = 0xFFFE;
constexpr uint16_t longLengthEscape = 0xFFFF;
constexpr std::size_t maxOneByteLength = 254;
constexpr std::size_t maxTwoByteLength = 0xFFFD;

// Class names longer than this are refused on reading.
constexpr std::size_t maxClassNameLength = 63;

} // namespace archiveFormat
