// The Software && Parameters page's plain logic: the comparison text, which
// parameters the list holds, the in-place editor's decisions and the version
// texts.
#include "machine/dzTableUpParamHandle.h"
#include "machine/glueProfile.h"
#include "machine/machineParam.h"
#include "machine/normalParamHandle.h"
#include "machine/prmControl.h"
#include "machine/toolInfo.h"
#include "technician/pages/parameterComparison.h"
#include "technician/pages/parameterEditCommit.h"
#include "technician/pages/parameterListContents.h"
#include "technician/pages/versionTexts.h"

#include <cwchar>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace {

using image_t = std::vector<std::int32_t>;

image_t defaultImage()
{
    const parameterMemory_t& record = getDefaultParameterTable();
    return image_t(record.begin(), record.end());
}

void editTool(image_t& image, int tool, const std::function<void(toolInfo_t&)>& edit)
{
    toolTable_t tools{};
    readToolTable(image, tools.data());
    edit(tools[static_cast<std::size_t>(tool)]);
    writeToolTable(image, tools.data());
}

void editGlue(image_t& image, const std::function<void(std::vector<glueProfile_t>&)>& edit, bool compact = true)
{
    std::vector<glueProfile_t> profiles;
    unpackGlueTable(profiles, glueRegionOf(std::span<const std::int32_t>(defaultImage()), true), true);
    edit(profiles);
    ASSERT_TRUE(packGlueTable(profiles, glueRegionOf(std::span<std::int32_t>(image), compact), compact));
}

std::vector<std::wstring> names(const std::vector<const machineParam_t*>& params)
{
    std::vector<std::wstring> result;
    for (const machineParam_t* param : params)
        result.push_back(param->name());
    return result;
}

}  // namespace

TEST(parameterComparison, namesEveryDifferenceTheListDoesNotShow)
{
    struct case_t {
        const char* what;
        std::function<void(image_t&)> change;
        bool compactGlue;
        std::wstring expected;
    };
    toolTable_t tools{};
    readToolTable(defaultImage(), tools.data());
    const int speed = tools[0].speed();
    const case_t cases[] = {
        {"same images", [](image_t&) {}, true, L""},
        {"a parameter", [](image_t& m) { m[51] = 1600000; }, true,
         L"Trim Y initial - Current Value: 1600000, Factory Value: 1500000\r\n"},
        {"Open Door bits only", [](image_t& m) { m[120] ^= 0x5; }, true, L""},
        {"another flag", [](image_t& m) { m[120] ^= 0x2; }, true, L"Machine flags are different.\r\n"},
        {"a tool field", [](image_t& m) { editTool(m, 0, [](toolInfo_t& t) { t.setSpeed(t.speed() + 7); }); }, true,
         L"Tool #0 - speed - Current Value: " + std::to_wstring(speed + 7) + L", Factory Value: " +
             std::to_wstring(speed) + L"\r\n"},
        {"the listed tool field", [](image_t& m) { editTool(m, 9, [](toolInfo_t& t) { t.setDzTableUp(-123); }); },
         true, L""},
        {"an unused tool", [](image_t& m) { editTool(m, 2, [](toolInfo_t& t) { t.setLocation(5); }); }, true, L""},
        {"glue drops", [](image_t& m) { editGlue(m, [](auto& p) { p[0].drops[1].amount = 400000; }); }, true,
         L"Glue 90 - Drops are different.\r\n"},
        {"glue below the compact resolution",
         [](image_t& m) { editGlue(m, [](auto& p) { p[0].drops[1].amount += 500; }); }, true, L""},
        {"glue drop count", [](image_t& m) { editGlue(m, [](auto& p) { p[0].drops.push_back({40000000, 1000}); }); },
         true, L"Glue 90 - # drops differ.\r\n"},
        {"glue key", [](image_t& m) { editGlue(m, [](auto& p) { p[0].key = 95000000; }); }, true,
         L"Glue 95 - Current Value: 95000000, Factory Value: 90000000\r\n"},
        {"glue profile count", [](image_t& m) { editGlue(m, [](auto& p) { p.pop_back(); }); }, true,
         L"# Glue profiles - Current Value: 20, Factory Value: 21\r\n"},
        // Below 1120 the machine packs the same profiles in the full form.
        {"same glue in the full form", [](image_t& m) { editGlue(m, [](auto&) {}, false); }, false, L""},
    };
    for (const case_t& c : cases) {
        image_t current = defaultImage();
        const image_t factory = defaultImage();
        c.change(current);
        EXPECT_EQ(parameterComparisonText({current, c.compactGlue}, {factory, true}), c.expected) << c.what;
    }
}

TEST(parameterList, fixedRowsBelow1120AndOpenedParametersFrom1120)
{
    std::istringstream opened("23 Z Abs Zero\n120 Machine Flags\n40 First Tool X\n23 Z Abs Zero\n"
                              "7 Wait Before Feeding\n99 No Such Parameter\nend\n51 Trim Y initial\n");
    EXPECT_EQ(names(listedParameters(1119, &opened)),
              (std::vector<std::wstring>{L"DZ Sensor-To-Iron", L"Trim Y initial", L"End Model Pos Y",
                                         L"DZ Trim Of 1st Layer", L"First Tool X", L"First Tool Y",
                                         L"Min Y position & Hook Y", L"Hook X Enter Pos", L"Trim X Max",
                                         L"Y pos when Nozzle=0", L"Z Abs Zero"}));
    // Never "Machine Flags", a parameter once, found by name when the index
    // is another's; a line without a number ends the list.
    EXPECT_EQ(names(listedParameters(1120, &opened)),
              (std::vector<std::wstring>{L"Z Abs Zero", L"First Tool X", L"Wait Before Feeding"}));
    EXPECT_TRUE(listedParameters(1120, nullptr).empty());

    EXPECT_EQ(parameterLimits(L"DZ Sensor-To-Iron"), std::make_pair(std::wstring(L"-2.4mm"), std::wstring(L"-1.8mm")));
    EXPECT_EQ(parameterLimits(L"Hook X Enter Pos"), std::make_pair(std::wstring(L"136.6mm"), std::wstring(L"137mm")));
    EXPECT_FALSE(parameterLimits(L"Z Abs Zero"));
}

// What the editor does with a typed text, over the widths of the fields it
// writes: a parameter's 32-bit word of nanometres, and the 16-bit microns
// of a tool's "DZ Table Up" (the trim knife's is listed). A value one past
// what the field holds keeps the editor open as text that does not read.
TEST(parameterEditCommit, keepsClosesOrAsks)
{
    prmControl_t control{[]() -> qvrCommDev_t* { return nullptr; }};
    const normalParamHandle_t trimY(&control, findParameter(51, L"Trim Y initial"));  // nano,y
    const normalParamHandle_t speed(&control, findParameter(1, L"Lines Starting Speed"));
    const dzTableUpParamHandle_t trimKnife(&control, 9);
    using action_e = parameterEditCommit_t::action_e;
    struct case_t {
        const baseParamHandle_t* row;
        std::int32_t current;
        const wchar_t* typed;
        action_e action;
        const wchar_t* question;
    };
    const case_t cases[] = {
        {&trimY, 1000000, L"abc", parameterEditCommit_t::keepEditing_e, L""},
        {&trimY, 1000000, L"", parameterEditCommit_t::keepEditing_e, L""},
        {&trimY, 1000000, L"2147.483647", parameterEditCommit_t::ask_e,
         L"Change value of Trim Y initial from 1mm to 2147.48mm?"},
        {&trimY, 1000000, L"2147.483648", parameterEditCommit_t::keepEditing_e, L""},
        {&trimY, 1000000, L"-2147.483648", parameterEditCommit_t::ask_e,
         L"Change value of Trim Y initial from 1mm to -2147.48mm?"},
        {&trimY, 1000000, L"-2147.483649", parameterEditCommit_t::keepEditing_e, L""},
        {&trimY, 1000000, L"1", parameterEditCommit_t::close_e, L""},
        {&trimY, 1000000, L"1.0004", parameterEditCommit_t::close_e, L""},
        {&trimY, 1000000, L"1.5", parameterEditCommit_t::ask_e, L"Change value of Trim Y initial from 1mm to 1.5mm?"},
        {&trimY, 1000000, L"1.5mm", parameterEditCommit_t::ask_e, L"Change value of Trim Y initial from 1mm to 1.5mm?"},
        {&speed, -4095, L"-4095", parameterEditCommit_t::close_e, L""},
        {&speed, -4095, L"-4094", parameterEditCommit_t::ask_e,
         L"Change value of Lines Starting Speed from -4095 to -4094?"},
        {&trimKnife, -500000, L"32.767", parameterEditCommit_t::ask_e,
         L"Change value of Trim Knife DZ Table Up from -0.5mm to 32.767mm?"},
        {&trimKnife, -500000, L"32.768", parameterEditCommit_t::keepEditing_e, L""},
        {&trimKnife, -500000, L"40", parameterEditCommit_t::keepEditing_e, L""},
        {&trimKnife, -500000, L"-32.768", parameterEditCommit_t::ask_e,
         L"Change value of Trim Knife DZ Table Up from -0.5mm to -32.768mm?"},
        {&trimKnife, -500000, L"-32.769", parameterEditCommit_t::keepEditing_e, L""},
    };
    for (const case_t& c : cases) {
        const parameterEditCommit_t commit = decideParameterEdit(*c.row, c.current, c.typed);
        EXPECT_EQ(commit.action, c.action) << std::string(c.typed, c.typed + std::wcslen(c.typed));
        EXPECT_EQ(commit.question, c.question);
    }
}

TEST(versionTexts, showTheMachinesNumbers)
{
    EXPECT_EQ(firmwareVersionText(1120), L"E1.12.0");
    EXPECT_EQ(firmwareVersionText(1234), L"E1.23.4");
    EXPECT_EQ(firmwareVersionText(0), L"E0.00.0");
    EXPECT_EQ(hardwareRevisionText(1100), L"H1.10.0");
    EXPECT_EQ(buildTimeText(119), L"1 hours");
    EXPECT_EQ(buildTimeText(0xFFFFFFFFu), L"71582788 hours");
    EXPECT_EQ(driverVersionText(12.0), L"USB 2.0");
}
