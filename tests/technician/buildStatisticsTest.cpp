// The build statistics computed from literal 44-byte layer records: the
// texts, their number formats and the lamps' judgement.
#include "technician/buildStatistics.h"

#include <gtest/gtest.h>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

// One layer as the printer sends it: the stack height at offset 4 (int32,
// nm), single bytes at their offsets, the pump mistake at 40 (int16,
// microns); every other byte zero. Feeding and trimming take one try
// unless a byte says otherwise.
layerRecord_t layer(std::int32_t heightNm, std::map<int, int> bytes = {}, std::int16_t pumpMicrons = 0)
{
    layerRecord_t record;
    const auto h = static_cast<std::uint32_t>(heightNm);
    record.bytes[4] = static_cast<std::uint8_t>(h);
    record.bytes[5] = static_cast<std::uint8_t>(h >> 8);
    record.bytes[6] = static_cast<std::uint8_t>(h >> 16);
    record.bytes[7] = static_cast<std::uint8_t>(h >> 24);
    record.bytes[27] = 24;  // roller teeth
    record.bytes[30] = 1;   // feeding tries
    record.bytes[31] = 1;   // trimming tries
    for (const auto& [offset, value] : bytes)
        record.bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
    const auto p = static_cast<std::uint16_t>(pumpMicrons);
    record.bytes[40] = static_cast<std::uint8_t>(p);
    record.bytes[41] = static_cast<std::uint8_t>(p >> 8);
    return record;
}

// n layers of equal thickness (nm) over a table at 1 mm.
std::vector<layerRecord_t> steady(int n, std::int32_t thickness)
{
    std::vector<layerRecord_t> layers;
    for (int i = 1; i <= n; ++i)
        layers.push_back(layer(1000000 + i * thickness));
    return layers;
}

// The same layers with some bytes of one layer (1-based) changed.
std::vector<layerRecord_t> with(std::vector<layerRecord_t> layers, int number, std::map<int, int> bytes,
                                std::int16_t pumpMicrons = 0)
{
    layerRecord_t& record = layers[static_cast<std::size_t>(number - 1)];
    for (const auto& [offset, value] : bytes)
        record.bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
    if (pumpMicrons != 0) {
        const auto p = static_cast<std::uint16_t>(pumpMicrons);
        record.bytes[40] = static_cast<std::uint8_t>(p);
        record.bytes[41] = static_cast<std::uint8_t>(p >> 8);
    }
    return layers;
}

std::vector<layerRecord_t> teeth(std::vector<layerRecord_t> layers, const std::vector<int>& counts)
{
    for (std::size_t i = 0; i < counts.size(); ++i)
        layers[i].bytes[27] = static_cast<std::uint8_t>(counts[i]);
    return layers;
}

using text_t = std::wstring buildStatistics_t::*;

struct statisticsCase_t {
    const char* name;
    std::vector<layerRecord_t> layers;
    int version;
    std::int32_t thickness;
    std::vector<std::pair<text_t, std::wstring>> texts;
    // Lamps 0 to 11: G good, B bad.
    const char* lamps;
};

TEST(BuildStatistics, TextsAndLampsFromLayerRecords)
{
    using s = buildStatistics_t;
    const std::vector<statisticsCase_t> cases = {
        {"ten steady layers: one thickness number, everything good", steady(10, 100000), 1120, 100000,
         {{&s::layersInCalculation, L"10 out of 12"},
          {&s::averageThickness, L"100.0"},
          {&s::modelHeight, L"0.90 (deviation: 0.00)"},
          {&s::xyHomeDifferences, L"X: 0, Y: 0 (steps)"},
          {&s::rollerTeeth, L"0.0 (0 layers with 0 pulses)"},
          {&s::feedingRetries, L"0"},
          {&s::trimmingRetries, L"0"},
          {&s::toolRetries, L"0 (0 layers with retries)"},
          {&s::pumpMistake, L"0.00"},
          {&s::bouncing, L"0.0 (max bouncing: 0)"}},
         "GGGGGGGGGGGG"},
        {"eleven layers add the last ten; 2.5 microns off is still good", steady(11, 97500), 1120, 100000,
         {{&s::averageThickness, L"97.5 (97.5 in last 10 layers)"}, {&s::modelHeight, L"0.97 (deviation: 0.02)"}},
         "GGGGGGGGGGGG"},
        {"the last ten are the last ten", with(steady(12, 100000), 1, {{4, 0x40}, {5, 0x42}, {6, 0x0F}, {7, 0}}), 1120,
         100000,
         // layer 1 at 1,000,000 instead of 1,100,000: the average moves, the last ten do not
         {{&s::averageThickness, L"109.1 (100.0 in last 10 layers)"}, {&s::modelHeight, L"1.20 (deviation: 0.10)"}},
         "BBGGGGGGGGGG"},
        {"one layer: its height alone", steady(1, 100000), 1120, 100000,
         {{&s::averageThickness, L"1100.0"},
          {&s::modelHeight, L"0.00 (deviation: 0.00)"},
          {&s::layersInCalculation, L"1 out of 12"}},
         "BBGGGGGGGGGG"},
        {"teeth 255 make no pair; a 0 after 255 still counts, one on layer 1 does not", teeth(steady(10, 100000), {0, 27, 26, 255, 0, 24, 21, 24, 24, 24}),
         1120, 100000, {{&s::rollerTeeth, L"1.4 (1 layers with 0 pulses)"}}, "GGGGGGGGGGGG"},
        {"two layers without pulses in ten are too many", teeth(steady(10, 100000), {24, 0, 24, 24, 0, 24, 24, 24, 24, 24}),
         1120, 100000, {{&s::rollerTeeth, L"0.0 (2 layers with 0 pulses)"}}, "GGGBGGGGGGGG"},
        {"teeth jumping by 4 on average", teeth(steady(5, 100000), {20, 24, 20, 24, 20}), 1120, 100000,
         {{&s::rollerTeeth, L"4.0 (0 layers with 0 pulses)"}}, "GGGBGGGGGGGG"},
        {"feeding tries of 3 add 2, trimming likewise", with(with(steady(10, 100000), 4, {{30, 3}}), 7, {{31, 3}}), 1120,
         100000, {{&s::feedingRetries, L"2"}, {&s::trimmingRetries, L"2"}}, "GGBGBGGGGGGG"},
        {"one retry in twenty layers is allowed", with(steady(20, 100000), 20, {{30, 2}, {31, 2}}), 1120, 100000,
         {{&s::feedingRetries, L"1"}, {&s::trimmingRetries, L"1"}}, "GGGGGGGGGGGG"},
        {"version 1120 shows tool retries and the pump from layer 3 on",
         with(with(with(steady(10, 100000), 2, {{35, 0}}, -3000), 3, {{35, 2}}, -1500), 9, {{35, 1}}), 1120, 100000,
         {{&s::toolRetries, L"3 (2 layers with retries)"}, {&s::pumpMistake, L"1.50"}}, "GGGGGGBBGGGG"},
        {"version 1119 leaves both texts empty but judges them",
         with(with(steady(10, 100000), 3, {{35, 2}}, -1500), 9, {{35, 1}}), 1119, 100000,
         {{&s::toolRetries, L""}, {&s::pumpMistake, L""}}, "GGGGGGBBGGGG"},
        {"home jumps in signed steps", with(with(steady(10, 100000), 4, {{20, 0xFD}}), 5, {{20, 2}, {21, 4}}), 1120, 100000,
         {{&s::xyHomeDifferences, L"X: 5, Y: 4 (steps)"}}, "GGGGGBGGGGGG"},
        {"height sensor counts",
         with(with(steady(10, 100000), 2, {{25, 30}, {26, 2}, {28, 1}, {29, 1}}), 6, {{25, 21}, {26, 1}, {29, 1}}), 1120,
         100000,
         {{&s::bouncing, L"5.1 (max bouncing: 30)"},
          {&s::thicknessErrors, L"1"},
          {&s::stuckAtStart, L"1"},
          {&s::searchFailures, L"2"}},
         "GGGGGGGGBBBB"},
    };
    for (const statisticsCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        const buildStatistics_t result = buildStatistics_t::compute(c.layers, 12, c.version, c.thickness);
        for (const auto& [text, expected] : c.texts)
            EXPECT_EQ(result.*text, expected);
        std::string lamps;
        for (const buildStatistics_t::lampState_e lamp : result.lamps)
            lamps += lamp == buildStatistics_t::good_e ? 'G' : lamp == buildStatistics_t::bad_e ? 'B' : '?';
        EXPECT_EQ(lamps, c.lamps);
    }
}

}  // namespace
