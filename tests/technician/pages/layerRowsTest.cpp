// The logs page's layer rows: which layers get rows (records 1 to the last
// received index, a new build empties the list) and the texts of a row.
#include "technician/pages/layerRows.h"

#include <gtest/gtest.h>
#include <map>

namespace {

layerRecord_t record(std::int32_t height, std::int8_t xHome, std::int8_t yHome)
{
    layerRecord_t r;
    le::putU32(&r.bytes[4], static_cast<std::uint32_t>(height));
    r.bytes[20] = static_cast<std::uint8_t>(xHome);
    r.bytes[21] = static_cast<std::uint8_t>(yHome);
    return r;
}

TEST(LayerRows, PlanFollowsTheLastReceivedIndex)
{
    struct case_t {
        int shown;
        std::int32_t lastReceived;
        bool clear;
        int first, last;
    };
    const case_t cases[] = {
        {0, -1, false, 1, 0},  // nothing received
        {0, 0, false, 1, 0},   // only the table before the first layer
        {0, 9, false, 1, 9},   // records 0..9: layers 1..9, never record 10
        {5, 9, false, 6, 9},
        {9, 9, false, 10, 9},
        {9, 3, true, 1, 3},    // a new build holds fewer records
        {3, -1, true, 1, 0},   // and before its first record
    };
    for (const case_t& c : cases) {
        const layerRowsPlan_t plan = planLayerRows(c.shown, c.lastReceived);
        EXPECT_EQ(plan.clear, c.clear) << c.shown << " " << c.lastReceived;
        EXPECT_EQ(plan.first, c.first) << c.shown << " " << c.lastReceived;
        EXPECT_EQ(plan.last, c.last) << c.shown << " " << c.lastReceived;
    }
}

TEST(LayerRows, RowTexts)
{
    // Layer thicknesses 150, 160, ... microns; layer 12 shrinks by 1.2 microns.
    std::map<std::int32_t, layerRecord_t> records;
    records[0] = record(999000000, 7, 7);  // the table: never read for heights
    std::int32_t height = 0;
    for (std::int32_t layer = 1; layer <= 11; ++layer) {
        height += 140000 + 10000 * layer;
        records[layer] = record(height, static_cast<std::int8_t>(layer - 6), -2);
    }
    records[12] = record(height - 1200, -128, 127);
    const layerRecordSource_t source = [&](std::int32_t index) { return records.at(index); };

    struct case_t {
        std::int32_t layer;
        layerRow_t row;
    };
    const case_t cases[] = {
        // Layer 1: no previous layer, no average, home values shown as 0.
        {1, {L"1", L"0.150", L"150", L"0", L"0 , 0"}},
        {2, {L"2", L"0.310", L"160", L"160", L"-4 , -2"}},
        // Layers 2..10: (160 + ... + 240) / 9.
        {10, {L"10", L"1.950", L"240", L"200", L"4 , -2"}},
        // The last ten: layers 2..11, (160 + ... + 250) / 10.
        {11, {L"11", L"2.200", L"250", L"205", L"5 , -2"}},
        // Layers 3..12: (170 + ... + 250 - 1.2) / 10 = 188.88; a negative
        // delta truncates toward zero.
        {12, {L"12", L"2.199", L"-1", L"188", L"-128 , 127"}},
    };
    for (const case_t& c : cases) {
        const layerRow_t row = makeLayerRow(c.layer, source);
        EXPECT_EQ(row.number, c.row.number);
        EXPECT_EQ(row.height, c.row.height) << c.layer;
        EXPECT_EQ(row.delta, c.row.delta) << c.layer;
        EXPECT_EQ(row.average, c.row.average) << c.layer;
        EXPECT_EQ(row.xyHome, c.row.xyHome) << c.layer;
    }
}

}  // namespace
