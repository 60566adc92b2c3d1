// Numbers of the script language as narrow text (traces, reports, output).
#pragma once
#include <cstdint>
#include <string>

std::string batchSignedText(std::int32_t value);
std::string batchUnsignedText(std::uint32_t value);
