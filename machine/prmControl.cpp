#include "machine/prmControl.h"

#include "machine/currentDevice.h"
#include "machine/machineParam.h"
#include "machine/qvrCommDev.h"
#include "machine/wstr.h"

#include <cmath>

namespace {

// Indices of "X Step Size" ... "Feeder Step Size".
constexpr int firstStepSizeIndex = 64;

// A typed number truncated to a whole one and bounded, so that the 64-bit
// arithmetic below cannot overflow (a bounded value is far outside any int
// result and is refused or shown as what it is).
std::int64_t wholeNumber(double value, double bound) {
    if (std::isnan(value))
        return 0;
    return static_cast<std::int64_t>(std::trunc(std::fmax(-bound, std::fmin(bound, value))));
}

// Steps are whole ints; steps times a 32-bit step size then fits 64 bits.
std::int64_t wholeSteps(double value) {
    return wholeNumber(value, 2147483648.0);
}

std::int64_t wholeNanometres(double value) {
    return wholeNumber(value, 1e15);
}

} // namespace

prmControl_t::prmControl_t() : getter_(&getCurrentDevice) {}

prmControl_t::prmControl_t(deviceGetter_t getter) : getter_(getter != nullptr ? getter : &getCurrentDevice) {}

prmControl_t::~prmControl_t() = default;

qvrCommDev_t* prmControl_t::getDevice() const {
    return getter_();
}

std::wstring prmControl_t::description(const machineParam_t& param) {
    const std::wstring text = param.text();
    const std::size_t first = text.find(L';');
    if (first == std::wstring::npos)
        return param.name();
    const std::size_t second = text.find(L';', first + 1);
    const std::wstring described =
        text.substr(first + 1, second == std::wstring::npos ? std::wstring::npos : second - first - 1);
    return described.empty() ? param.name() : described;
}

std::wstring prmControl_t::unitOf(const std::wstring& descriptorText) {
    const std::size_t first = descriptorText.find(L';');
    if (first == std::wstring::npos)
        return unitNumber;
    const std::size_t second = descriptorText.find(L';', first + 1);
    if (second == std::wstring::npos)
        return unitNumber;
    const std::size_t third = descriptorText.find(L';', second + 1);
    const std::wstring unit = descriptorText.substr(
        second + 1, third == std::wstring::npos ? std::wstring::npos : third - second - 1);
    return unit.empty() ? std::wstring(unitNumber) : unit;
}

std::wstring prmControl_t::unitOf(const machineParam_t& param) {
    return unitOf(std::wstring(param.text()));
}

bool prmControl_t::isNano(const machineParam_t& param) {
    return unitOf(param).find(unitNano) != std::wstring::npos;
}

std::wstring prmControl_t::formatParameter(const machineParam_t& param, std::int32_t value) const {
    if (value == currentValueMark) {
        qvrCommDev_t* device = getDevice();
        value = device != nullptr ? device->getParamValue(param) : param.defaultValue();
    }
    return formatValue(unitOf(param), value);
}

double prmControl_t::parseValue(const machineParam_t& param, const std::wstring& text) {
    const std::wstring unit = unitOf(param);
    if (unit.starts_with(unitNano) && ::axisOfUnit(unit) >= 0)
        return ::parseNumber(text) * 1000000.0;
    if (unit == unitHex)
        return ::parseNumber(text);
    if (unit == unitMm3)
        return ::mm3ToValue(::parseNumber(text));
    if (unit == unitMs)
        return ::parseNumber(text) * 1000.0;
    return ::parseNumber(text);
}

std::optional<std::int32_t> prmControl_t::parseValueToInt(const machineParam_t& param,
                                                          const std::wstring& text) {
    const std::wstring unit = unitOf(param);
    if (unit == unitMm3)
        return mm3ToValueChecked(::parseNumber(text));
    double value = parseValue(param, text);
    // Hexadecimal values are shown as their 32 bits, so all 32 read back.
    if (unit == unitHex && value >= 2147483648.0 && value <= 4294967295.0)
        value -= 4294967296.0;
    return truncateToInt32(value);
}

bool prmControl_t::setValue(const machineParam_t& param, std::int32_t value) const {
    qvrCommDev_t* device = getDevice();
    if (device == nullptr)
        return false;
    device->setParameter(param, value, value != device->getParamValue(param));
    return true;
}

std::wstring prmControl_t::unitLabel(const machineParam_t& param) {
    const std::wstring unit = unitOf(param);
    const std::wstring label = unitLabelOf(unit);
    return label.empty() ? unit : L"[" + label + L"]";
}

std::int32_t prmControl_t::stepSize(int axis) const {
    if (axis < 0 || axis > 4)
        return 0;
    qvrCommDev_t* device = getDevice();
    const machineParam_t* param = parameterAt(firstStepSizeIndex + axis);
    if (device == nullptr || param == nullptr)
        return 0;
    return device->getParamValue(*param);
}

std::wstring prmControl_t::stepsTextToMmText(const machineParam_t& param, const std::wstring& text) const {
    const std::wstring unit = unitOf(param);
    const int axis = ::axisOfUnit(unit);
    if (!unit.starts_with(unitNano) || axis < 0)
        return text;
    const std::int64_t nanometres = stepsToNanoWith(stepSize(axis), wholeSteps(::parseNumber(text)));
    return toStr(static_cast<double>(nanometres) / 1000000.0);
}

std::wstring prmControl_t::mmTextToStepsText(const machineParam_t& param, const std::wstring& text) const {
    const std::wstring unit = unitOf(param);
    const int axis = ::axisOfUnit(unit);
    if (!unit.starts_with(unitNano) || axis < 0)
        return text;
    const std::int64_t nanometres = wholeNanometres(::parseNumber(text) * 1000000.0);
    return toStr(static_cast<long long>(nanoToStepsWith(stepSize(axis), nanometres)));
}

double prmControl_t::stepsTextToValue(const machineParam_t& param, const std::wstring& text) const {
    const std::wstring unit = unitOf(param);
    const int axis = ::axisOfUnit(unit);
    if (!unit.starts_with(unitNano) || axis < 0)
        return parseValue(param, text);
    return static_cast<double>(stepsToNanoWith(stepSize(axis), wholeSteps(::parseNumber(text))));
}

std::optional<std::int32_t> prmControl_t::stepsTextToValueInt(const machineParam_t& param,
                                                              const std::wstring& text) const {
    const std::wstring unit = unitOf(param);
    const int axis = ::axisOfUnit(unit);
    if (!unit.starts_with(unitNano) || axis < 0)
        return parseValueToInt(param, text);
    return truncateToInt32(stepsTextToValue(param, text));
}
