#include "machine/dzTableUpParamHandle.h"

#include "machine/machineParam.h"
#include "machine/prmControl.h"
#include "machine/qvrCommDev.h"
#include "machine/toolInfo.h"
#include "machine/units.h"
#include "machine/wstr.h"

#include <vector>

namespace {

std::wstring millimetreText(std::int32_t nanometres) {
    return toStr(nanometres / 1000000.0) + L"mm";
}

bool isToolNumber(int tool) {
    return tool >= 0 && tool < paramLayout::toolCount;
}

// The field keeps microns in 16 bits: a length it cannot hold would reach
// the machine cut to that width.
bool fieldHolds(std::int32_t nanometres) {
    return toolFieldRange(toolInfo_t::dzTableUp_e).holds(nanometres / 1000);
}

} // namespace

std::wstring dzTableUpParamHandle_t::name() const {
    return toolTypeName(tool_) + L" DZ Table Up";
}

std::wstring dzTableUpParamHandle_t::description() const {
    return L"Z delta between height sensor to work height of " + toolTypeName(tool_);
}

std::wstring dzTableUpParamHandle_t::formatValue(std::int32_t value) const {
    if (value == currentValueMark)
        value = valueFrom(nullptr, L"");
    return millimetreText(value);
}

std::int32_t dzTableUpParamHandle_t::factoryValue() const {
    if (!isToolNumber(tool_))
        return 0;
    toolTable_t tools{};
    qvrCommDev_t* device = control_->getDevice();
    if (device != nullptr && device->getMachineInfo().embeddedVersion() >= paramLayout::factoryBlockVersion) {
        std::vector<std::int32_t> memory(paramLayout::words);
        device->getParameterMemory(memory.data());
        readToolTable(std::span<const std::int32_t>(memory).subspan(paramLayout::factoryBlockWord),
                      tools.data());
    } else {
        readToolTable(getDefaultParameterTable(), tools.data());
    }
    return tools[tool_].dzTableUp() * 1000;
}

std::wstring dzTableUpParamHandle_t::formatFactoryValue() const {
    return millimetreText(factoryValue());
}

bool dzTableUpParamHandle_t::setFromText(const std::wstring& text) {
    const std::optional<std::int32_t> value = valueFromText(text);
    return value && setValue(*value);
}

bool dzTableUpParamHandle_t::setValue(std::int32_t value) {
    qvrCommDev_t* device = control_->getDevice();
    if (device == nullptr || !isToolNumber(tool_))
        return false;
    if (!fieldHolds(value))
        return false;
    toolTable_t tools{};
    device->getToolTable(tools.data(), nullptr);
    tools[tool_].setDzTableUp(value / 1000);
    device->sendToolTableAndSave(tools.data());
    return true;
}

void dzTableUpParamHandle_t::storeInArray(std::span<std::int32_t> words, std::int32_t value) const {
    if (!isToolNumber(tool_))
        return;
    toolTable_t tools{};
    readToolTable(words, tools.data());
    tools[tool_].setDzTableUp(value / 1000);
    writeToolTable(words, tools.data());
}

std::int32_t dzTableUpParamHandle_t::valueFrom(const std::int32_t* words, const std::wstring& text) const {
    if (!text.empty())
        return valueFromText(text).value_or(0);
    if (!isToolNumber(tool_))
        return 0;
    toolTable_t tools{};
    if (words != nullptr) {
        readToolTable(std::span<const std::int32_t>(words, paramLayout::words), tools.data());
    } else if (qvrCommDev_t* device = control_->getDevice()) {
        device->getToolTable(tools.data(), nullptr);
    } else {
        readToolTable(getDefaultParameterTable(), tools.data());
    }
    return tools[tool_].dzTableUp() * 1000;
}

std::optional<std::int32_t> dzTableUpParamHandle_t::valueFromText(const std::wstring& text) const {
    const std::optional<std::int32_t> value = truncateToInt32(parseDouble(text) * 1000000.0);
    if (!value || !fieldHolds(*value))
        return std::nullopt;
    return value;
}
