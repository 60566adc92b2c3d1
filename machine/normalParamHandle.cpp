#include "machine/normalParamHandle.h"

#include "machine/machineParam.h"
#include "machine/prmControl.h"
#include "machine/qvrCommDev.h"

std::wstring normalParamHandle_t::name() const {
    return param_->name();
}

std::wstring normalParamHandle_t::description() const {
    return prmControl_t::description(*param_);
}

std::wstring normalParamHandle_t::formatValue(std::int32_t value) const {
    return control_->formatParameter(*param_, value);
}

std::int32_t normalParamHandle_t::factoryValue() const {
    qvrCommDev_t* device = control_->getDevice();
    return device != nullptr ? device->getFactoryValue(*param_) : param_->defaultValue();
}

std::wstring normalParamHandle_t::formatFactoryValue() const {
    return control_->formatParameter(*param_, factoryValue());
}

bool normalParamHandle_t::setFromText(const std::wstring& text) {
    const std::optional<std::int32_t> value = valueFromText(text);
    if (!value)
        return false;
    return setValue(*value);
}

bool normalParamHandle_t::setValue(std::int32_t value) {
    return control_->setValue(*param_, value);
}

void normalParamHandle_t::storeInArray(std::span<std::int32_t> words, std::int32_t value) const {
    const auto index = static_cast<std::size_t>(param_->index());
    if (index < words.size())
        words[index] = value;
}

std::int32_t normalParamHandle_t::valueFrom(const std::int32_t* words, const std::wstring& text) const {
    if (words != nullptr)
        return words[param_->index()];
    if (text.empty()) {
        qvrCommDev_t* device = control_->getDevice();
        return device != nullptr ? device->getParamValue(*param_) : param_->defaultValue();
    }
    return valueFromText(text).value_or(0);
}

std::optional<std::int32_t> normalParamHandle_t::valueFromText(const std::wstring& text) const {
    return prmControl_t::parseValueToInt(*param_, text);
}

bool normalParamHandle_t::isChanged(std::int32_t a, std::int32_t b) const {
    return prmControl_t::isNano(*param_) ? micronsDiffer(a, b) : a != b;
}
