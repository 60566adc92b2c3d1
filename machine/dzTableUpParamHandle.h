// A parameter-list row over the "DZ Table Up" field of one tool record. The
// field is kept in microns in the tool table but shown and edited like a
// length parameter, in nanometres.
#pragma once
#include "machine/baseParamHandle.h"

class dzTableUpParamHandle_t : public baseParamHandle_t {
public:
    dzTableUpParamHandle_t(prmControl_t* control, int toolNumber)
        : baseParamHandle_t(control), tool_(toolNumber) {}

    int toolNumber() const { return tool_; }

    // Tool type name + " DZ Table Up".
    std::wstring name() const override;
    std::wstring description() const override;
    std::wstring formatValue(std::int32_t value) const override;
    // The factory tool table's field x 1000: the factory block of the current
    // memory when the machine's embedded version is 1120 or above, else the
    // default record.
    std::int32_t factoryValue() const override;
    std::wstring formatFactoryValue() const override;
    // Stores the text's millimetres in microns (truncated) into the current
    // tool table, sends it and saves the parameters file. Refused (false)
    // when the microns do not fit the 16-bit field.
    bool setFromText(const std::wstring& text) override;
    // The value in nanometres, stored in microns (truncated).
    bool setValue(std::int32_t value) override;
    void storeInArray(std::span<std::int32_t> words, std::int32_t value) const override;
    std::int32_t valueFrom(const std::int32_t* words, const std::wstring& text) const override;
    // Nothing when the microns do not fit the 16-bit field, as when the
    // nanometres do not fit 32 bits.
    std::optional<std::int32_t> valueFromText(const std::wstring& text) const override;

private:
    int tool_;
};
