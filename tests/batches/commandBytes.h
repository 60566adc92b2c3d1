// Commands as the printer receives them, written as the procedures' texts
// give them: [code] then the fields, little-endian. A plain number is a byte
// field; i16 and i32 make the wider ones.
//
//   cmd(140, {4, 0})                         take pen 4
//   cmd(135, {i32(125000000), i32(80000000)}) XY to 125 mm, 80 mm
//   join({prefix, times(3, loop), {cmd(141, {0})}})
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using commandBytes_t = std::vector<std::uint8_t>;
using commandList_t = std::vector<commandBytes_t>;

struct commandField_t {
    commandField_t(int byte) : value(static_cast<std::uint32_t>(byte)), width(1) {}
    commandField_t(std::uint32_t v, int w) : value(v), width(w) {}
    std::uint32_t value;
    int width;
};
commandField_t i16(std::int32_t value);
commandField_t i32(std::int32_t value);

commandBytes_t cmd(std::uint8_t code, std::initializer_list<commandField_t> fields = {});
// The parts one after the other.
commandList_t join(std::initializer_list<commandList_t> parts);
// The unit n times.
commandList_t times(int n, const commandList_t& unit);
// One command a line, "code: payload bytes" in hexadecimal, so that a
// mismatch shows as a diff of lines.
std::string asLines(const commandList_t& commands);
