// Golden bytes in tests are written by hand as hex text ("FF FE FF 00").
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using bytes_t = std::vector<uint8_t>;

inline bytes_t hexBytes(const std::string& text) {
    bytes_t out;
    int high = -1;
    for (char c : text) {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c == ' ' || c == '\n')
            continue;
        else
            throw std::invalid_argument("bad hex text");
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd hex text");
    return out;
}

// The narrow bytes of an ASCII text, as class names are written.
inline bytes_t asciiBytes(const std::string& text) {
    return bytes_t(text.begin(), text.end());
}

// An ASCII text as UTF-16LE code units.
inline bytes_t utf16Bytes(const std::string& text) {
    bytes_t out;
    for (char c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

inline bytes_t operator+(bytes_t a, const bytes_t& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline bytes_t repeated(const bytes_t& unit, std::size_t times) {
    bytes_t out;
    for (std::size_t i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}
