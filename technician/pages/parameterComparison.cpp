#include "technician/pages/parameterComparison.h"

#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/toolInfo.h"
#include "machine/wstr.h"

#include <algorithm>
#include <vector>

namespace {

// Bits 0 and 2 are the Open Door mode, which the main window shows and sets.
constexpr std::int32_t openDoorBits = 0x1 | 0x4;
// The tool field that the list edits (the trim knife's "DZ Table Up").
constexpr int listedToolField = toolInfo_t::dzTableUp_e;
constexpr wchar_t unusedToolName[] = L"Unused Tool";

void compareParameters(wstr_t& text, std::span<const std::int32_t> current, std::span<const std::int32_t> factory)
{
    // Only indices with a descriptor can differ in a way worth naming.
    const int highest = highestParameterIndex();
    for (int i = 1; i <= highest; ++i) {
        const machineParam_t* param = parameterAt(i);
        const auto index = static_cast<std::size_t>(i);
        if (param == nullptr || index >= current.size() || index >= factory.size())
            continue;
        const std::int32_t now = current[index];
        const std::int32_t made = factory[index];
        if (now == made)
            continue;
        const std::wstring name = param->name();
        if (name == L"Machine Flags") {
            if (((now ^ made) & ~openDoorBits) != 0)
                text << L"Machine flags are different.\r\n";
            continue;
        }
        text << name << L" - Current Value: " << now << L", Factory Value: " << made << L"\r\n";
    }
}

void compareTools(wstr_t& text, std::span<const std::int32_t> current, std::span<const std::int32_t> factory)
{
    toolTable_t now{};
    toolTable_t made{};
    readToolTable(current, now.data());
    readToolTable(factory, made.data());
    for (int tool = 0; tool < static_cast<int>(now.size()); ++tool) {
        // Unused places of the rack hold filler bytes, not settings.
        if (toolTypeName(tool) == unusedToolName)
            continue;
        for (int field = toolInfo_t::location_e; field <= toolInfo_t::refillTime_e; ++field) {
            if (field == listedToolField)
                continue;
            const int a = now[static_cast<std::size_t>(tool)].getField(field);
            const int b = made[static_cast<std::size_t>(tool)].getField(field);
            if (a != b) {
                text << L"Tool #" << tool << L" - " << toolFieldName(field) << L" - Current Value: " << a
                     << L", Factory Value: " << b << L"\r\n";
            }
        }
    }
}

bool dropsDiffer(const glueProfile_t& a, const glueProfile_t& b)
{
    // Compared at the resolution the compact form keeps.
    for (std::size_t i = 0; i < a.drops.size(); ++i) {
        if (a.drops[i].position / 10000 != b.drops[i].position / 10000 ||
            a.drops[i].amount / 1000 != b.drops[i].amount / 1000)
            return true;
    }
    return false;
}

void compareGlue(wstr_t& text, const comparedImage_t& current, const comparedImage_t& factory)
{
    std::vector<glueProfile_t> now;
    std::vector<glueProfile_t> made;
    unpackGlueTable(now, glueRegionOf(current.words, current.compactGlue), current.compactGlue);
    unpackGlueTable(made, glueRegionOf(factory.words, factory.compactGlue), factory.compactGlue);
    if (now.size() != made.size()) {
        text << L"# Glue profiles - Current Value: " << now.size() << L", Factory Value: " << made.size()
             << L"\r\n";
    }
    const std::size_t both = std::min(now.size(), made.size());
    for (std::size_t i = 0; i < both; ++i) {
        const glueProfile_t& a = now[i];
        const glueProfile_t& b = made[i];
        const std::wstring label = wstr_t(L"Glue ") << a.key / 1000000.0;
        if (a.key != b.key)
            text << label << L" - Current Value: " << a.key << L", Factory Value: " << b.key << L"\r\n";
        if (a.drops.size() != b.drops.size())
            text << label << L" - # drops differ.\r\n";
        else if (dropsDiffer(a, b))
            text << label << L" - Drops are different.\r\n";
    }
}

}  // namespace

std::wstring parameterComparisonText(const comparedImage_t& current, const comparedImage_t& factory)
{
    wstr_t text;
    compareParameters(text, current.words, factory.words);
    compareTools(text, current.words, factory.words);
    compareGlue(text, current, factory);
    return text;
}
