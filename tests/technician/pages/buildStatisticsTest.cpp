// The build statistics computed from literal 44-byte layer records: the
// number formats that depend on the count of layers, the roller-teeth
// readings that take no part, and the texts an older printer leaves empty.
// Where each text lands and how each lamp judges are the Build page's tests.
#include "technician/pages/buildStatistics.h"
#include "tests/technician/pages/buildLayers.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace buildLayers;
using text_t = std::wstring buildStatistics_t::*;

struct statisticsCase_t {
    const char* name;
    std::vector<layerRecord_t> layers;
    int version;
    std::vector<std::pair<text_t, std::wstring>> texts;
};

TEST(BuildStatistics, TextsFromLayerRecords)
{
    using s = buildStatistics_t;
    const std::vector<statisticsCase_t> cases = {
        {"ten layers: one thickness number", steady(10, 100000), 1120, {{&s::averageThickness, L"100.0"}}},
        {"eleven layers add the last ten", steady(11, 97500), 1120,
         {{&s::averageThickness, L"97.5 (97.5 in last 10 layers)"}}},
        {"one layer: its height alone", steady(1, 100000), 1120,
         {{&s::averageThickness, L"1100.0"},
          {&s::modelHeight, L"0.00 (deviation: 0.00)"},
          {&s::layersInCalculation, L"1 out of 12"}}},
        {"teeth 255 make no pair; a 0 after 255 still counts, one on layer 1 does not",
         teeth(steady(10, 100000), {0, 27, 26, 255, 0, 24, 21, 24, 24, 24}), 1120,
         {{&s::rollerTeeth, L"1.4 (1 layers with 0 pulses)"}}},
        {"version 1119 leaves the tool and pump texts empty",
         with(with(steady(10, 100000), 3, {{at::toolRetries, 2}}, -1500), 9, {{at::toolRetries, 1}}), 1119,
         {{&s::toolRetries, L""}, {&s::pumpMistake, L""}}},
    };
    for (const statisticsCase_t& c : cases) {
        SCOPED_TRACE(c.name);
        const buildStatistics_t result = buildStatistics_t::compute(c.layers, 12, c.version, 100000);
        for (const auto& [text, expected] : c.texts)
            EXPECT_EQ(result.*text, expected);
    }
}

}  // namespace
