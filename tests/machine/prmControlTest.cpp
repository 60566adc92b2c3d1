#include "machine/prmControl.h"
#include "machine/machineParam.h"
#include "machine/units.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const machineParam_t& param(int index) {
    return *parameterAt(index);
}

// Parameters by unit, for the tables below.
constexpr int speedIndex = 1;     // "speed"
constexpr int feederIndex = 2;    // "nano,feeder"
constexpr int percentIndex = 3;   // "percent"
constexpr int msIndex = 15;       // "ms"
constexpr int xIndex = 12;        // "nano,x"
constexpr int zIndex = 17;        // "nano,z"
constexpr int numberIndex = 10;   // no unit field
constexpr int degreeIndex = 87;   // "degree"
constexpr int mmIndex = 46;       // "mm"
constexpr int mm3Index = 91;      // "mm^3"
constexpr int stepSizeIndex = 64; // "nano" without an axis
constexpr int hexIndex = 120;     // "hex"
constexpr int ironIndex = 97;     // "nano,iron"

qvrCommDev_t* testDevice = nullptr;
qvrCommDev_t* getTestDevice() {
    return testDevice;
}

} // namespace

TEST(prmControl, formatValueByUnit) {
    struct case_t {
        const wchar_t* unit;
        std::int32_t value;
        const wchar_t* text;
    };
    const case_t cases[] = {
        {L"hex", 43648, L"0xaa80"},
        {L"hex", 531039999, L"0x1fa706ff"},
        {L"hex", -1, L"0xffffffff"},
        {L"hex", 0, L"0x0"},
        {L"nano,x", 500000, L"0.5mm"},
        {L"nano,iron", 97000000, L"97mm"},
        {L"nano,feeder", 4420000, L"4.42mm"},
        {L"nano,feeder", 142000000, L"142mm"},
        {L"nano", 21892, L"0.021892mm"},
        {L"nano", 62, L"6.2e-005mm"},
        {L"nano,z", -2500000, L"-2.5mm"},
        {L"speed", -4095, L"-4095"},
        {L"ms", 600, L"0.6 sec"},
        {L"ms", 3600000, L"3600 sec"},
        {L"mm^3", 1000000, L"126 mm^3"},
        {L"degree", 35, L"35\u00B0C"},
        {L"percent", 5, L"5 %"},
        {L"mm", 3000, L"3000mm"},
        {L"number", 24, L"24"},
        {L"ml", 7, L"7"},
        {L"furlongs", -3, L"-3"},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(prmControl_t::formatValue(c.unit, c.value), c.text) << c.unit << " " << c.value;
}

TEST(prmControl, parseValueByUnit) {
    struct case_t {
        int index;
        const wchar_t* text;
        double value;
    };
    const case_t cases[] = {
        {xIndex, L"0.5", 500000},
        {xIndex, L"4.42mm", 4420000},
        {msIndex, L"0.6", 600},
        {msIndex, L"0.6 sec", 600},
        {mm3Index, L"126", 1000000},
        {mm3Index, L"150", 1190476},
        {hexIndex, L"0x10", 16},
        {hexIndex, L"010x", 8},
        {hexIndex, L"0x1fa706ff", 531039999},
        {hexIndex, L"31", 31},
        {percentIndex, L"12 %", 12},
        {speedIndex, L" -4095", -4095},
        {numberIndex, L"abc", 0},
        {numberIndex, L"", 0},
        {stepSizeIndex, L"21892", 21892}, // step sizes are typed in nanometres
        {stepSizeIndex, L"0.021892mm", 0.021892},
        {ironIndex, L"97", 97000000},
        {degreeIndex, L"35\u00B0C", 35},
        {mmIndex, L"3000mm", 3000},
    };
    for (const case_t& c : cases)
        EXPECT_DOUBLE_EQ(prmControl_t::parseValue(param(c.index), c.text), c.value) << c.index;
    EXPECT_EQ(prmControl_t::mm3ToValue(150), 1190476);
}

TEST(prmControl, valuesThatDoNotFit32BitsAreRefused) {
    struct case_t {
        int index;
        const wchar_t* text;
        std::optional<std::int32_t> value;
    };
    const case_t cases[] = {
        {xIndex, L"2147.483647", 2147483647},
        {xIndex, L"2147.483648", std::nullopt},
        {xIndex, L"3000", std::nullopt},
        {xIndex, L"-2147.483648", -2147483647 - 1},
        {xIndex, L"-2147.483649", std::nullopt},
        {xIndex, L"1e300", std::nullopt},
        {msIndex, L"2147483.647", 2147483647},
        {msIndex, L"2147483.648", std::nullopt},
        {numberIndex, L"2147483647", 2147483647},
        {numberIndex, L"2147483648", std::nullopt},
        {numberIndex, L"-2147483649", std::nullopt},
        {numberIndex, L"12345678901234567890x", std::nullopt},
        {hexIndex, L"0xffffffff", -1},
        {hexIndex, L"0x80000000", -2147483647 - 1},
        {hexIndex, L"0x100000000", std::nullopt},
        {mm3Index, L"270582", 2147476190},
        {mm3Index, L"270583", std::nullopt},
        {stepSizeIndex, L"4294967296", std::nullopt},
    };
    for (const case_t& c : cases)
        EXPECT_EQ(prmControl_t::parseValueToInt(param(c.index), c.text), c.value)
            << c.index << " " << std::string(c.text, c.text + wcslen(c.text));
    EXPECT_EQ(truncateToInt32(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(truncateToInt32(-0.9), 0);
}

TEST(prmControl, descriptionUnitAndLabel) {
    EXPECT_EQ(prmControl_t::unitOf(std::wstring(L"Machine ID")), L"number");
    EXPECT_EQ(prmControl_t::unitOf(std::wstring(L"First Tool X;;")), L"number");
    EXPECT_EQ(prmControl_t::unitOf(std::wstring(L"First Tool X;;nano,x")), L"nano,x");
    EXPECT_EQ(prmControl_t::unitOf(std::wstring(L"A;b;ms;extra")), L"ms");
    EXPECT_EQ(prmControl_t::description(param(40)), L"First Tool X");
    EXPECT_EQ(prmControl_t::description(param(0)), L"Machine ID");
    EXPECT_EQ(prmControl_t::description(param(numberIndex)),
              L"# of wait-states for the FLASH device (can be between 0-13)");
    EXPECT_TRUE(prmControl_t::isNano(param(stepSizeIndex)));
    EXPECT_FALSE(prmControl_t::isNano(param(hexIndex)));

    struct label_t {
        int index;
        const wchar_t* label;
    };
    const label_t labels[] = {
        {msIndex, L"[ms]"},
        {xIndex, L"[X]"},
        {zIndex, L"[Z]"},
        {feederIndex, L"[Feeder]"},
        {ironIndex, L"[Iron]"},
        {48, L"[Pump]"},
        {speedIndex, L"[can be 3-24, or -(X*0.2\u00B5s) for const speed]"},
        {percentIndex, L"[%]"},
        {degreeIndex, L"[\u00B0]"},
        {mmIndex, L"[mm]"},
        {mm3Index, L"[mm^3]"},
        {stepSizeIndex, L"nano"},
        {hexIndex, L"hex"},
        {numberIndex, L"number"},
    };
    for (const label_t& l : labels)
        EXPECT_EQ(prmControl_t::unitLabel(param(l.index)), l.label) << l.index;
    EXPECT_EQ(axisOfUnit(L"nano"), -1);
    EXPECT_EQ(motorName(7), L"Unknown motor");
}

class prmControlDeviceTest : public prefixTest {
protected:
    void SetUp() override {
        device_ = std::make_unique<scriptedDevice_t>();
        testDevice = device_.get();
    }
    void TearDown() override {
        testDevice = nullptr;
        device_.reset();
    }
    std::unique_ptr<scriptedDevice_t> device_;
    prmControl_t control_{&getTestDevice};
};

TEST_F(prmControlDeviceTest, motorStepsThroughTheStepSizes) {
    EXPECT_EQ(control_.stepSize(0), 21892);
    EXPECT_EQ(control_.stepSize(2), 1250);
    EXPECT_EQ(control_.stepSize(5), 0);

    struct case_t {
        int index;
        const wchar_t* text;
        const wchar_t* mmText;    // stepsTextToMmText
        const wchar_t* stepsText; // mmTextToStepsText
    };
    const case_t cases[] = {
        {xIndex, L"100", L"2.1892", L"4568"}, {xIndex, L"2.1892", L"0.043784", L"100"},
        {xIndex, L"0.010946", L"0", L"1"}, // half a step rounds away from zero
        {xIndex, L"-0.010946", L"0", L"-1"},  {xIndex, L"0.010945", L"0", L"0"},
        {zIndex, L"10", L"0.0125", L"8000"},  {stepSizeIndex, L"100", L"100", L"100"}, // no axis: unchanged
        {speedIndex, L"abc", L"abc", L"abc"},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(control_.stepsTextToMmText(param(c.index), c.text), c.mmText) << c.index;
        EXPECT_EQ(control_.mmTextToStepsText(param(c.index), c.text), c.stepsText) << c.index;
    }
    EXPECT_DOUBLE_EQ(control_.stepsTextToValue(param(zIndex), L"10"), 12500);
    EXPECT_DOUBLE_EQ(control_.stepsTextToValue(param(msIndex), L"0.6"), 600);
    EXPECT_EQ(control_.stepsTextToValueInt(param(xIndex), L"98000"), 2145416000);
    EXPECT_EQ(control_.stepsTextToValueInt(param(xIndex), L"98100"), std::nullopt);
    EXPECT_EQ(control_.stepsTextToValueInt(param(xIndex), L"1e30"), std::nullopt);

    // A step size of 0 converts everything to 0.
    device_->setParameterWord(64, 0);
    EXPECT_EQ(control_.mmTextToStepsText(param(xIndex), L"5"), L"0");
    EXPECT_EQ(control_.stepsTextToMmText(param(xIndex), L"5"), L"0");
}

TEST_F(prmControlDeviceTest, currentValueAndWrites) {
    device_->setParameterWord(23, 123000000);
    EXPECT_EQ(control_.formatParameter(param(23), currentValueMark), L"123mm");
    EXPECT_EQ(control_.formatParameter(param(23), 5000000), L"5mm");

    ASSERT_TRUE(control_.setValue(param(msIndex), 700));
    EXPECT_EQ(device_->getParamValue(param(msIndex)), 700);
    std::int32_t memory[1024];
    device_->getParameterMemory(memory);
    EXPECT_NE(memory[paramLayout::openedBitmapWord] & (1 << msIndex), 0);

    prmControl_t noDevice{[]() -> qvrCommDev_t* { return nullptr; }};
    EXPECT_FALSE(noDevice.setValue(param(msIndex), 1));
    EXPECT_EQ(noDevice.formatParameter(param(23), currentValueMark), L"145.9mm");
}
