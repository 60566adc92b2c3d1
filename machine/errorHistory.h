// errorHistory_t: one entry of the machine's error history as the machines
// server sends it ("ERRORLOGINFO"). A plain value type; its archive layout
// lives in link/exchangeArchive.h.
#pragma once
#include <cstdint>
#include <string>

class errorHistory_t {
public:
    int32_t value1 = -1;
    int32_t value2 = 0;
    int32_t value3 = 0;
    // A code of the printer's message table (messageTable_t).
    int32_t messageCode = 0;
    std::wstring description;
    std::wstring text2;
    std::wstring text3;
    int32_t layerNumber = 0;
    std::wstring text4;
    std::wstring text5;

    // The model being built when the error came: the machines server
    // sends it as the second text.
    const std::wstring& modelName() const { return text2; }

    bool operator==(const errorHistory_t& other) const = default;
};
