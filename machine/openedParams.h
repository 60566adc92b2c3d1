// "OpenedParams.txt": which parameters were ever changed, kept as the 128-bit
// opened bitmap of the parameter memory (bit i mod 32 of word 764 + i / 32).
// The file holds one line per set bit whose index has a descriptor: the
// decimal index, one space and the parameter's name, in index order, then
// one empty line.
#pragma once
#include <cstdint>
#include <istream>
#include <span>
#include <string>

// The file's text with LF line ends (the text mode makes them CR LF).
std::string openedParamsText(std::span<const std::int32_t> image);
// Clears the bitmap, then sets the bit of every parameter named by a line:
// the line's leading number and its name (blanks after the number skipped)
// are looked up with findParameter. Reading stops at the first line that
// does not begin with a number.
void readOpenedParams(std::istream& in, std::span<std::int32_t> image);
