#include "machine/toolInfo.h"
#include "machine/machineParam.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

// Tool 4 of the file format's example row: location 0, DZ Pen Up Down 2000,
// DZ Table Up -1000, speed 116, refill 20 dm / 2 s, diameter 10, active,
// sensor used.
const std::uint8_t exampleBytes[10] = {0xC0, 10, 116, 0, 0xD0, 0x07, 0x18, 0xFC, 2, 20};

} // namespace

TEST(toolInfo, fieldsByOffsetAndWidth) {
    const toolInfo_t tool = toolInfo_t::fromBytes(exampleBytes);
    struct field_t {
        int index;
        int value;
        const wchar_t* name;
        int lowest;  // the values the field holds
        int highest;
    };
    const field_t fields[] = {
        {0, 0, L"location", 0, 63},
        {1, 2000, L"dzPenUpDown (microns)", -32768, 32767},
        {2, -1000, L"dzTableUp (microns)", -32768, 32767},
        {3, 1, L"active", 0, 1},
        {4, 1, L"sensor used", 0, 1},
        {5, 116, L"speed", -32768, 32767},
        {6, 10, L"diameter (detziMM)", 0, 255},
        {7, 20, L"refill length (detziMeter)", 0, 255},
        {8, 2, L"refill time (secs)", 0, 255},
        {9, 0, L"", 1, 0},
        {-1, 0, L"", 1, 0},
    };
    for (const field_t& f : fields) {
        EXPECT_EQ(tool.getField(f.index), f.value) << f.index;
        EXPECT_EQ(toolFieldName(f.index), f.name) << f.index;
        const toolFieldRange_t range = toolFieldRange(f.index);
        EXPECT_EQ(range.lowest, f.lowest) << f.index;
        EXPECT_EQ(range.highest, f.highest) << f.index;
    }

    // Stored values are truncated to their field's width.
    toolInfo_t wide;
    wide.setSpeed(70000);
    wide.setDiameter(300);
    wide.setDzTableUp(-40000);
    EXPECT_EQ(wide.speed(), 70000 - 65536);
    EXPECT_EQ(wide.diameter(), 300 - 256);
    EXPECT_EQ(wide.dzTableUp(), -40000 + 65536);
}

TEST(toolInfo, flagBits) {
    toolInfo_t tool;
    tool.setLocation(63);
    tool.setActive(true);
    tool.setSensorUsed(true);
    EXPECT_EQ(tool.flags(), 0xFF);
    tool.setLocation(5);
    EXPECT_EQ(tool.flags(), 0xC5);
    tool.setActive(false);
    EXPECT_EQ(tool.flags(), 0x45);
    tool.setSensorUsed(false);
    EXPECT_EQ(tool.flags(), 0x05);
    tool.setLocation(64 + 7);
    EXPECT_EQ(tool.location(), 7);
}

TEST(toolInfo, tableLiesAtByte512) {
    parameterMemory_t image{};
    toolTable_t tools{};
    tools[4] = toolInfo_t::fromBytes(exampleBytes);
    tools[11].setLocation(9);
    writeToolTable(image, tools.data());
    // Tool 4 from byte 552: words 138 (bytes 552-555) and 139, 140.
    EXPECT_EQ(static_cast<std::uint32_t>(image[138]), 0x00740AC0u);
    EXPECT_EQ(static_cast<std::uint32_t>(image[139]), 0xFC1807D0u);
    EXPECT_EQ(image[140] & 0xFFFF, 20 << 8 | 2);
    // Tool 11's flags at byte 622.
    EXPECT_EQ((static_cast<std::uint32_t>(image[155]) >> 16) & 0xFF, 9u);
    EXPECT_EQ(image[127], 0);
    EXPECT_EQ(image[158], 0);
    toolTable_t back{};
    readToolTable(image, back.data());
    EXPECT_EQ(back, tools);
}

TEST(toolInfo, typeNames) {
    const wchar_t* names[] = {L"Cutting Knife", L"Unused Tool",   L"Unused Tool",   L"Unused Tool",
                              L"AG mini (1mm)", L"AG midi (3mm)", L"AG maxi (6mm)", L"AG maxi 2 (6mm)",
                              L"Unused Tool",   L"Trim Knife",    L"Unused Tool",   L"Unused Tool"};
    for (int t = 0; t < 12; ++t)
        EXPECT_EQ(toolTypeName(t), names[t]) << t;
    EXPECT_EQ(toolTypeName(12), L"---Error---");
    EXPECT_EQ(toolTypeName(-1), L"---Error---");
}

class toolChangeLogTest : public prefixTest {};

TEST_F(toolChangeLogTest, changesAreLoggedToUpdatesTxt) {
    auto device = std::make_unique<scriptedDevice_t>();
    device->createMachineFolders();
    const std::wstring path = device->getUpdatesPath();

    toolInfo_t tool = toolInfo_t::fromBytes(exampleBytes);
    tool.setField(device.get(), 4, toolInfo_t::dzTableUp_e, -1000); // unchanged: no line
    EXPECT_FALSE(readRawFile(path).has_value());
    tool.setField(device.get(), 4, toolInfo_t::dzTableUp_e, -900);
    tool.setField(device.get(), 4, toolInfo_t::active_e, 0);
    EXPECT_EQ(tool.dzTableUp(), -900);
    EXPECT_FALSE(tool.isActive());

    const std::optional<std::string> log = readRawFile(path);
    ASSERT_TRUE(log.has_value());
    const std::regex expected(
        "\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d [AP]M -> Tool #4, dzTableUp \\(microns\\) has changed from "
        "-1000 to "
        "-900\r\n"
        "\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d [AP]M -> Tool #4, active has changed from 1 to 0\r\n");
    EXPECT_TRUE(std::regex_match(*log, expected)) << *log;
}
