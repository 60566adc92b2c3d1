#include "machine/machineParam.h"
#include "machine/prmControl.h"
#include "machine/units.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct expectedParameter_t {
    int index;
    std::int32_t defaultValue;
    std::int32_t factoryValue;
};

// Index, default and factory-block value of every parameter.
// clang-format off
const expectedParameter_t expectedParameters[] = {
    {0, 9999, 0}, {1, -4095, -4095}, {2, 4420000, 4420000}, {3, 5, 5}, {4, -2000, -2000}, {5, 4000000, 4000000},
    {6, 142000000, 142000000}, {7, -4000, -4000}, {8, 1000, 1000}, {9, 11000000, 11000000}, {10, 3, 3},
    {11, 24, 50}, {12, 500000, 500000}, {13, 1000000, 1000000}, {14, 15000000, 15000000}, {15, 600, 600},
    {16, 116, 17}, {17, -2500000, -2300000}, {18, 3000000, 3000000}, {19, 140000, 140000}, {20, 15, 15},
    {21, 200, 200}, {22, 80000, 400000}, {23, 145900000, 145900000}, {24, 0, 0}, {25, 30, 30},
    {26, -4000000, -2500000}, {27, 62500, 62500}, {28, 100, 100}, {29, -6500, -6500}, {30, 0, 0}, {31, 0, 12},
    {32, 116, 16}, {33, 30000000, 30000000}, {34, 0, 0}, {35, 93000000, 93000000}, {36, 255000000, 255000000},
    {37, 388000000, 388000000}, {38, 7, 7}, {39, 3800000, 2800000}, {40, 100000000, 3862280},
    {41, 300000000, 384442440}, {42, 0, 20000000}, {43, 1000000, 0}, {44, 0, 30000000}, {45, 1500, 1500},
    {46, 3000, 2000}, {47, 12, 12}, {48, 1500000, 1500000}, {49, 3000000, 3000000}, {50, 224000000, 224000000},
    {51, 1500000, 1500000}, {52, 1000000, 1000000}, {54, 600000, 600000}, {55, 250000, 0}, {56, 0, 0},
    {57, -47000000, -47000000}, {58, 21000000, 21000000}, {59, 40000000, 45000000}, {60, 1250, 10000},
    {61, -2500, 20000}, {62, 400, 400}, {63, 10, 10}, {64, 21892, 21892}, {65, 21892, 21892}, {66, 1250, 1250},
    {67, 2500, 2500}, {68, 7860, 7860}, {69, -800, -800}, {70, -8000, -8000}, {71, 8000, 8000},
    {72, 531039999, 531039999}, {73, 10000, 10000}, {74, 260000000, 260000000}, {75, 392000000, 392000000},
    {76, 153000000, 153000000}, {77, 13800000, 14000000}, {78, 500000000, 500000000}, {79, -32500000, -32500000},
    {80, 50, 50}, {81, 400000, 400000}, {82, 0, 0}, {83, 5000, 5000}, {84, 3600000, 3600000},
    {85, 136900000, 136900000}, {86, -6500000, -6500000}, {87, 35, 35}, {88, 25, 25}, {89, 0, 0},
    {90, 15000000, 15000000}, {91, 1825396, 1190476}, {92, 4, 4}, {93, 0, 0}, {94, 15, 12},
    {95, 4000000, 4000000}, {96, 82000000, 81900000}, {97, 4000000, 9000000}, {98, 10, 20}, {99, 0, 0},
    {100, 70000000, 70000000}, {101, -2000000, -2000000}, {102, -1500, 0}, {103, 15, 13},
    {104, -1000000, -1000000}, {105, 0, 0}, {106, 0, 0}, {107, 10, 10}, {108, 0, 0}, {109, 70, 70},
    {110, -2000, -2000}, {111, 97000000, 102500000}, {112, 20000000, 15000000}, {113, 10, 8},
    {114, -1000, -1200}, {115, -1200000, -2200000}, {116, 0, 0}, {117, 131460, 131460}, {118, 300, 300},
    {119, -4000, -4000}, {120, 43648, 43648}, {121, -150, -150}, {122, 500000, 250000},
    {123, -1500000, -1500000}, {124, 10000000, 10000000}, {125, 8000, 8000}, {126, 3, 3}, {127, 600000, 600000},
};
// clang-format on

const std::set<std::wstring> knownUnits = {L"number", L"speed",  L"ms",        L"percent",     L"hex",
                                           L"degree", L"mm",     L"mm^3",      L"nano",        L"nano,x",
                                           L"nano,y", L"nano,z", L"nano,pump", L"nano,feeder", L"nano,iron"};

} // namespace

TEST(parameterTable, everyDescriptorIsRegisteredFoundAndInTheDefaultRecord) {
    ASSERT_EQ(std::size(expectedParameters), 127u);
    EXPECT_EQ(highestParameterIndex(), 127);
    EXPECT_EQ(parameterAt(53), nullptr);
    const parameterMemory_t& record = getDefaultParameterTable();
    std::set<std::wstring> names;
    for (const expectedParameter_t& e : expectedParameters) {
        SCOPED_TRACE(e.index);
        const machineParam_t* param = parameterAt(e.index);
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->index(), e.index);
        EXPECT_EQ(param->defaultValue(), e.defaultValue);
        EXPECT_EQ(record[e.index], e.defaultValue);
        EXPECT_EQ(defaultParameterValue(e.index), e.defaultValue);
        EXPECT_EQ(record[paramLayout::factoryBlockWord + e.index], e.factoryValue);
        EXPECT_TRUE(param->isDefinition(param->text()));

        const std::wstring name = param->name();
        EXPECT_TRUE(names.insert(name).second) << "names are unique";
        EXPECT_EQ(findParameter(e.index, name), param);
        // From any other index the name search finds it too, except "Machine ID".
        EXPECT_EQ(findParameter(-1, name), e.index == 0 ? nullptr : param);

        const std::wstring unit = prmControl_t::unitOf(*param);
        EXPECT_EQ(knownUnits.count(unit), 1u) << "unit " << std::string(unit.begin(), unit.end());
        // What is shown reads back as the same value, except the step sizes,
        // which are shown in millimetres but typed in nanometres.
        if (unit != L"nano") {
            const std::wstring shown = formatUnitValue(unit, e.defaultValue);
            EXPECT_EQ(prmControl_t::parseValueToInt(*param, shown), e.defaultValue)
                << std::string(shown.begin(), shown.end());
        }
    }
}

TEST(parameterTable, textsKeepTheirOwnSpelling) {
    struct text_t {
        int index;
        const wchar_t* text;
    };
    const text_t texts[] = {
        {0, L"Machine ID"},
        {5, L"Feeder Upper to safe distance;Distance which media is feeded after reaching media upper sensor;"
            L"nano,feeder"},
        {8, L"Wait After Feeding;Miliseconds to wait after feeding media with in power-off for the feeder "
            L"motor;ms"},
        {28, L"Circle Acceleration;The acceleration allowed when drawing cricles (in mm/sec^2)"},
        {40, L"First Tool X;;nano,x"},
        {64, L"X Step Size;;nano"},
        {68, L"Feeder Step Size;;nano"},
        {74, L"Max X position;;nano,x"},
        {78, L"Max feeder position;;nano,feeder"},
        {97, L"Iron Wait Position;The position in which iron waits the amount of time specified in wait time "
             L"untill "
             L"this position iron will move in iron speed(measured from trim);nano,iron"},
        {107, L"# madregot      - no glue;Extra Ironing without glue this is the number of layers per cycle "
              L"minus 1 "
              L"of a series"},
        {120, L"Machine Flags;Dorvanel 2 Machine Logic Flags;hex"},
        {126, L"Cut-Knife Trim First Layer;First layer to do the cut-knife trimming rectange"},
    };
    for (const text_t& t : texts)
        EXPECT_STREQ(parameterAt(t.index)->text(), t.text) << t.index;
}

TEST(parameterTable, defaultRecordLayout) {
    const parameterMemory_t& record = getDefaultParameterTable();
    EXPECT_EQ(record[0], 9999);
    EXPECT_EQ(record[53], 0);
    EXPECT_EQ(record[384], 0);
    // Compact glue table: 696 bytes, 21 profiles, the same in the factory block.
    EXPECT_EQ(record[160], 696 | (21 << 16));
    EXPECT_EQ(record[544], 696 | (21 << 16));
    for (int w = 160; w < 334; ++w)
        EXPECT_EQ(record[w + 384], record[w]) << "glue word " << w;
    for (int w = 334; w < 384; ++w)
        EXPECT_EQ(record[w], 0) << "word " << w;
    for (int w = 718; w < 1024; ++w)
        EXPECT_EQ(record[w], 0) << "word " << w;
    // Tools 2, 3, 8, 10 and 11 hold 0xCD in all ten bytes, in both tables.
    for (int base : {512, 2048}) {
        for (int tool : {2, 3, 8, 10, 11}) {
            for (int b = 0; b < 10; ++b) {
                const int at = base + 10 * tool + b;
                const auto byte =
                    static_cast<std::uint8_t>(static_cast<std::uint32_t>(record[at / 4]) >> (8 * (at % 4)));
                EXPECT_EQ(byte, 0xCD) << "table at " << base << " tool " << tool;
            }
        }
    }
    EXPECT_EQ(mediaLengthForModel(50000000), 50000000LL + 20000000 + 40000000);
}

TEST(parameterTable, findParameterByIndexThenByName) {
    EXPECT_EQ(findParameter(5, L"Feed upto trim"), parameterAt(6));
    EXPECT_EQ(findParameter(0, L"Machine ID"), parameterAt(0));
    EXPECT_EQ(findParameter(0, L"X"), nullptr);
    EXPECT_EQ(findParameter(500, L"Z Abs Zero"), parameterAt(23));
    EXPECT_EQ(findParameter(23, L"Z Abs Zero;"), nullptr);
    EXPECT_EQ(findParameter(23, L"z abs zero"), nullptr);
}

// A second descriptor for a parameter, as other program parts define them.
static machineParam_t secondLinesStartingSpeed(
    6, L"Lines Starting Speed;Starting speed [V0] for the lines motor movement (negative value);speed");

TEST(machineParam, byteOffsetIsRoundedDownToItsWord) {
    EXPECT_EQ(secondLinesStartingSpeed.index(), 1);
    EXPECT_EQ(secondLinesStartingSpeed.defaultValue(), -4095);
    const machineParam_t* registered = parameterAt(1);
    EXPECT_STREQ(registered->text(), secondLinesStartingSpeed.text());
    EXPECT_EQ(highestParameterIndex(), 127);
}

TEST(machineParam, aFileLineFindsItsDefinitionWhole) {
    struct case_t {
        std::string line;
        const machineParam_t* expected;
    };
    const case_t cases[] = {
        {"First Tool X;;nano,x", parameterAt(40)},
        {"First Tool X;;nano,X", nullptr},
        {"First Tool X;;nano,x ", nullptr},
        {"First Tool X", nullptr},
        {"# madregot      - no glue;Extra Ironing without glue this is the number of layers per cycle minus 1 of "
         "a series",
         parameterAt(107)},
        // Word 0 is the file's own heading, never a parameter line.
        {"Machine ID", nullptr},
        // Word 1 has two descriptors (this file's second one): the one
        // registered last, as by its index.
        {"Lines Starting Speed;Starting speed [V0] for the lines motor movement (negative value);speed",
         parameterAt(1)},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(findDefinition(c.line), c.expected) << c.line;
}

TEST(machineParam, nameAndDefinition) {
    EXPECT_EQ(parameterAt(0)->name(), L"Machine ID");
    EXPECT_EQ(parameterAt(40)->name(), L"First Tool X");
    EXPECT_EQ(parameterAt(107)->name(), L"# madregot      - no glue");
    EXPECT_TRUE(parameterAt(40)->isDefinition(L"First Tool X;;nano,x"));
    EXPECT_FALSE(parameterAt(40)->isDefinition(L"First Tool X;;nano,X"));
    EXPECT_FALSE(parameterAt(40)->isDefinition(L"First Tool X;;nano,x "));
    EXPECT_FALSE(parameterAt(40)->isDefinition(L"First Tool X"));
}
