#include "technician/pages/parameterListContents.h"

#include "machine/longnameStream.h"
#include "machine/machineParam.h"
#include "machine/textUtils.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const wchar_t*, 11> fixedRows = {
    L"DZ Sensor-To-Iron", L"Trim Y initial", L"End Model Pos Y", L"DZ Trim Of 1st Layer",
    L"First Tool X",      L"First Tool Y",   L"Min Y position & Hook Y", L"Hook X Enter Pos",
    L"Trim X Max",        L"Y pos when Nozzle=0", L"Z Abs Zero",
};

constexpr wchar_t machineFlagsName[] = L"Machine Flags";

void addRow(std::vector<const machineParam_t*>& rows, const machineParam_t* param)
{
    if (param == nullptr || param->name() == machineFlagsName)
        return;
    const std::wstring name = param->name();
    if (std::none_of(rows.begin(), rows.end(), [&](const machineParam_t* row) { return row->name() == name; }))
        rows.push_back(param);
}

}  // namespace

std::vector<const machineParam_t*> listedParameters(std::uint16_t embeddedVersion, std::istream* openedParams)
{
    std::vector<const machineParam_t*> rows;
    if (embeddedVersion < openedParamsListVersion) {
        for (const wchar_t* name : fixedRows)
            addRow(rows, findParameter(-1, name));
        return rows;
    }
    if (openedParams == nullptr)
        return rows;
    int index = 0;
    while (*openedParams >> index) {
        openedParams->get();  // the blank between the index and the name
        std::string name;
        std::getline(*openedParams, name);
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        addRow(rows, findParameter(index, strToWstr(name)));
    }
    return rows;
}

std::vector<const machineParam_t*> listedParametersOf(std::uint16_t embeddedVersion,
                                                      const std::wstring& openedParamsPath)
{
    if (embeddedVersion < openedParamsListVersion)
        return listedParameters(embeddedVersion, nullptr);
    basic_longname_ifstream<char> in(openedParamsPath);
    return listedParameters(embeddedVersion, in.is_open() ? &in : nullptr);
}

std::optional<std::pair<std::wstring, std::wstring>> parameterLimits(const std::wstring& name)
{
    if (name == L"DZ Sensor-To-Iron")
        return std::pair<std::wstring, std::wstring>(L"-2.4mm", L"-1.8mm");
    if (name == L"Trim Y initial")
        return std::pair<std::wstring, std::wstring>(L"0.5mm", L"2.5mm");
    if (name == L"Hook X Enter Pos")
        return std::pair<std::wstring, std::wstring>(L"136.6mm", L"137mm");
    return std::nullopt;
}
