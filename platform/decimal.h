// Decimal and hexadecimal digits for the platform's own file names and
// texts, without any locale-dependent C function.
#pragma once
#include <charconv>
#include <cstdint>
#include <string>

inline std::string decimalText(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

inline std::string hexText(std::uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    return std::string(buffer, result.ptr);
}

inline std::wstring wideAscii(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
