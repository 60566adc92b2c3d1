// Typed lengths: millimetre edits read as decimals, the layer length as
// whole millimetres, both refused rather than wrapped when the machine's
// 32-bit nanometres cannot hold them.
#include "technician/lengthEntry.h"

#include <gtest/gtest.h>
#include <optional>

TEST(LengthEntry, MillimetresToNanometres)
{
    struct case_t {
        const wchar_t* text;
        std::optional<std::int32_t> nano;
    };
    const case_t cases[] = {
        {L"10", 10000000},
        {L"-20", -20000000},
        {L"100.5", 100500000},
        {L"  7.25mm", 7250000},  // blanks skipped, the rest ignored
        {L"abc", 0},
        {L"", 0},
        {L"0.0000019", 1},  // truncated toward zero
        {L"-0.0000019", -1},
        {L"2147", 2147000000},
        {L"2148", std::nullopt},
        {L"-2148", std::nullopt},
        {L"1e3", 1000000000},
        {L"1e999", std::nullopt},
        {L"-1e999", std::nullopt},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(millimetresToNano(c.text), c.nano) << std::wstring(c.text).size();
}

TEST(LengthEntry, LayerLengthInWholeMillimetres)
{
    struct case_t {
        const wchar_t* text;
        std::int32_t mm;
    };
    const case_t cases[] = {
        {L"5", 5},      {L"0", 0},    {L"", 0},          {L"-5", 0},           {L"12a", 0},
        {L"2147", 2147}, {L"2148", 0}, {L"2147483647", 0}, {L"99999999999", 0}, {L" 90", 90},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(layerLengthMm(c.text), c.mm) << std::wstring(c.text).size();
}
