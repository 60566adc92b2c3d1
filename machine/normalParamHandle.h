// A parameter-list row over one machine parameter.
#pragma once
#include "machine/baseParamHandle.h"

class machineParam_t;

class normalParamHandle_t : public baseParamHandle_t {
public:
    normalParamHandle_t(prmControl_t* control, const machineParam_t* param)
        : baseParamHandle_t(control), param_(param) {}

    const machineParam_t* parameter() const { return param_; }

    std::wstring name() const override;
    std::wstring description() const override;
    std::wstring formatValue(std::int32_t value) const override;
    std::int32_t factoryValue() const override;
    std::wstring formatFactoryValue() const override;
    bool setFromText(const std::wstring& text) override;
    bool setValue(std::int32_t value) override;
    void storeInArray(std::span<std::int32_t> words, std::int32_t value) const override;
    std::int32_t valueFrom(const std::int32_t* words, const std::wstring& text) const override;
    std::optional<std::int32_t> valueFromText(const std::wstring& text) const override;
    // Micron resolution for lengths, any difference otherwise.
    bool isChanged(std::int32_t a, std::int32_t b) const override;

private:
    const machineParam_t* param_;
};
