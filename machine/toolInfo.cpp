#include "machine/toolInfo.h"

#include "machine/machineParam.h"
#include "machine/paramImage.h"
#include "machine/qvrCommDev.h"
#include "machine/textUtils.h"
#include "machine/timeTexts.h"
#include "machine/wstr.h"
#include "platform/fileHandle.h"

#include <ctime>

toolInfo_t toolInfo_t::fromBytes(const std::uint8_t* bytes10) {
    toolInfo_t tool;
    for (int i = 0; i < size; ++i)
        tool.bytes_[i] = bytes10[i];
    return tool;
}

void toolInfo_t::toBytes(std::uint8_t* bytes10) const {
    for (int i = 0; i < size; ++i)
        bytes10[i] = bytes_[i];
}

void toolInfo_t::setLocation(int n) {
    bytes_[0] = static_cast<std::uint8_t>((bytes_[0] & 0xC0) | (n & 0x3F));
}

void toolInfo_t::setActive(bool on) {
    bytes_[0] = static_cast<std::uint8_t>(on ? bytes_[0] | 0x80 : bytes_[0] & ~0x80);
}

void toolInfo_t::setSensorUsed(bool on) {
    bytes_[0] = static_cast<std::uint8_t>(on ? bytes_[0] | 0x40 : bytes_[0] & ~0x40);
}

int toolInfo_t::getField(int index) const {
    switch (index) {
    case location_e:
        return location();
    case dzPenUpDown_e:
        return dzPenUpDown();
    case dzTableUp_e:
        return dzTableUp();
    case active_e:
        return isActive() ? 1 : 0;
    case sensorUsed_e:
        return isSensorUsed() ? 1 : 0;
    case speed_e:
        return speed();
    case diameter_e:
        return diameter();
    case refillLength_e:
        return refillLength();
    case refillTime_e:
        return refillTime();
    default:
        return 0;
    }
}

void toolInfo_t::storeField(int index, int value) {
    switch (index) {
    case location_e:
        setLocation(value);
        break;
    case dzPenUpDown_e:
        setDzPenUpDown(value);
        break;
    case dzTableUp_e:
        setDzTableUp(value);
        break;
    case active_e:
        setActive(value != 0);
        break;
    case sensorUsed_e:
        setSensorUsed(value != 0);
        break;
    case speed_e:
        setSpeed(value);
        break;
    case diameter_e:
        setDiameter(value);
        break;
    case refillLength_e:
        setRefillLength(value);
        break;
    case refillTime_e:
        setRefillTime(value);
        break;
    default:
        break;
    }
}

void toolInfo_t::setField(qvrCommDev_t* device, int toolNumber, int index, int value) {
    if (value == getField(index))
        return;
    logChange(device, toolNumber, index, value);
    storeField(index, value);
}

void toolInfo_t::setFieldLogged(const std::wstring& updatesPath, int toolNumber, int index, int value) {
    if (value == getField(index))
        return;
    if (!updatesPath.empty())
        logChangeTo(updatesPath, toolNumber, index, value);
    storeField(index, value);
}

void toolInfo_t::logChange(qvrCommDev_t* device, int toolNumber, int index, int newValue) const {
    if (device != nullptr)
        logChangeTo(device->getUpdatesPath(), toolNumber, index, newValue);
}

void toolInfo_t::logChangeTo(const std::wstring& updatesPath, int toolNumber, int index, int newValue) const {
    const std::time_t now = std::time(nullptr);
    wstr_t line;
    line << formatDate(now) << L" " << formatTime(now) << L" -> " << L"Tool #" << toolNumber << L", "
         << toolFieldName(index) << L" has changed from " << getField(index) << L" to " << newValue << L"\n";
    // An append that fails loses only this line; the log is informational.
    fileHandle_t file;
    if (!file.open(updatesPath, "a"))
        return;
    const std::string narrow = wstrToStr(line);
    file.write(narrow.data(), narrow.size());
    file.close();
}

toolFieldRange_t toolFieldRange(int index) {
    switch (index) {
    case toolInfo_t::location_e:
        return {0, 0x3F};
    case toolInfo_t::dzPenUpDown_e:
    case toolInfo_t::dzTableUp_e:
    case toolInfo_t::speed_e:
        return {-32768, 32767};
    case toolInfo_t::active_e:
    case toolInfo_t::sensorUsed_e:
        return {0, 1};
    case toolInfo_t::diameter_e:
    case toolInfo_t::refillLength_e:
    case toolInfo_t::refillTime_e:
        return {0, 255};
    default:
        return {};
    }
}

std::wstring toolFieldName(int index) {
    switch (index) {
    case toolInfo_t::location_e:
        return L"location";
    case toolInfo_t::dzPenUpDown_e:
        return L"dzPenUpDown (microns)";
    case toolInfo_t::dzTableUp_e:
        return L"dzTableUp (microns)";
    case toolInfo_t::active_e:
        return L"active";
    case toolInfo_t::sensorUsed_e:
        return L"sensor used";
    case toolInfo_t::speed_e:
        return L"speed";
    case toolInfo_t::diameter_e:
        return L"diameter (detziMM)";
    case toolInfo_t::refillLength_e:
        return L"refill length (detziMeter)";
    case toolInfo_t::refillTime_e:
        return L"refill time (secs)";
    default:
        return L"";
    }
}

std::wstring toolTypeName(int toolNumber) {
    switch (toolNumber) {
    case 0:
        return L"Cutting Knife";
    case 4:
        return L"AG mini (1mm)";
    case 5:
        return L"AG midi (3mm)";
    case 6:
        return L"AG maxi (6mm)";
    case 7:
        return L"AG maxi 2 (6mm)";
    case 9:
        return L"Trim Knife";
    case 1:
    case 2:
    case 3:
    case 8:
    case 10:
    case 11:
        return L"Unused Tool";
    default:
        return L"---Error---";
    }
}

void readToolTable(std::span<const std::int32_t> image, toolInfo_t* out12) {
    std::uint8_t bytes[paramLayout::toolTableBytes];
    paramImage::copyOut(image, paramLayout::toolTableByte, bytes, sizeof bytes);
    for (int t = 0; t < paramLayout::toolCount; ++t)
        out12[t] = toolInfo_t::fromBytes(bytes + t * toolInfo_t::size);
}

void writeToolTable(std::span<std::int32_t> image, const toolInfo_t* tools12) {
    std::uint8_t bytes[paramLayout::toolTableBytes];
    for (int t = 0; t < paramLayout::toolCount; ++t)
        tools12[t].toBytes(bytes + t * toolInfo_t::size);
    paramImage::copyIn(image, paramLayout::toolTableByte, bytes, sizeof bytes);
}
